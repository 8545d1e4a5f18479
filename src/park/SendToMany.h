#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CCommonObject;

// One command list sent to many machines, and what each answered: the
// first lines of its answer, "refused" when its rcon password was turned
// down, "no answer" when it fell silent, or skipped when it was not under
// rcon. Answers are read from each machine's console, without the answers
// to the program's own polls; every row is settled within one poll cycle.
class SendToMany
{
public:
    enum class State
    {
        Waiting,
        Answered,
        NoOutput, // the machine kept answering, but not this command
        NoAnswer,
        Refused,
        Skipped
    };
    struct Row
    {
        std::string machine; // "address:port"
        State state = State::Waiting;
        std::vector<std::string> lines; // the first kShownLines of the answer
    };

    static constexpr std::size_t kShownLines = 3;
    static constexpr std::int64_t kReplySeconds = 6;

    // Sends the commands (in order) to every machine under rcon; the
    // others get a skipped row. A previous run is forgotten.
    void Start(const std::vector<CCommonObject*>& machines, const std::vector<std::string>& commands,
               std::int64_t now);
    // Reads what arrived since; true when a row changed.
    bool Collect(std::int64_t now);
    // The object is going away: its row keeps what it had and stops waiting.
    void Forget(const CCommonObject& object);

    const std::vector<Row>& rows() const { return m_rows; }
    const std::vector<std::string>& commands() const { return m_commands; }
    // Moves whenever the rows change, so that a table redraws only then.
    std::uint64_t generation() const { return m_generation; }
    bool settled() const;
    // How many rows are in each state.
    std::size_t count(State state) const;

private:
    struct Watch
    {
        CCommonObject* object = nullptr;
        std::uint64_t logMark = 0;
    };

    void Settle(std::size_t index, State state);

    std::vector<std::string> m_commands;
    std::vector<Row> m_rows;
    std::vector<Watch> m_watches; // beside m_rows
    std::int64_t m_sentAt = 0;
    std::uint64_t m_generation = 0;
};

// "answered", "no output", "no answer", "refused", "not under rcon, skipped".
const char* stateText(SendToMany::State state);
