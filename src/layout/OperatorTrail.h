#pragma once

#include "layout/CommandTranscript.h"
#include "objects/CCommonObject.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class Clock;

// The record of what the operator did: every rcon command sent for him
// (typed, kicks, recordings, links, passwords, log streams), each echoed on
// its machine's transcript with the lines that answer it. Password values
// are recorded as "***".
//
// Whatever acts for the operator runs inside an OperatorTrail::Act; the
// commands any object sends meanwhile are his, and only those.
class OperatorTrail : public CommandWatcher
{
public:
    explicit OperatorTrail(const Clock& clock) : m_clock(clock) {}

    // Called with each command of the trail as it is sent, unmasked (the
    // ledger masks what it keeps): every command on the record is also in
    // the ledger, however deep in an object it was made.
    using Listener = std::function<void(CCommonObject& object, const std::string& command)>;
    void SetListener(Listener listener) { m_listener = std::move(listener); }

    // While one lives, every rcon command sent is recorded. Acts nest.
    class Act
    {
    public:
        explicit Act(OperatorTrail& trail) : m_previous(CCommonObject::WatchCommands(&trail)) {}
        ~Act() { CCommonObject::WatchCommands(m_previous); }
        Act(const Act&) = delete;
        Act& operator=(const Act&) = delete;

    private:
        CommandWatcher* m_previous;
    };

    void CommandSent(CCommonObject& object, const std::string& command) override;

    // Passes the lines that answered a command of the operator's, on every
    // machine that is still within the reply time, into its transcript.
    void Collect(const std::vector<std::unique_ptr<CCommonObject>>& objects);

    // The transcript of "address:port", or null when nothing was sent there.
    const CommandTranscript* Find(const std::string& name) const;
    void Forget(const std::string& name) { m_transcripts.erase(name); }

private:
    const Clock& m_clock;
    Listener m_listener;
    std::map<std::string, CommandTranscript> m_transcripts;
};

// The command as the record shows it: the value given to a password
// variable or command ("serverpassword", "sv_password", "rcon_password", ...)
// replaced by "***", in every ';'-separated part, quotes kept.
std::string maskPasswords(const std::string& command);
