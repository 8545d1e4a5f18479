#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CHLServer;
class CCommonObject;

// The Variables page: the server shown there is asked for its rules when
// the page opens and every kAskSeconds while it stays open; nothing is
// asked while no page shows one.
class VariablesWatch
{
public:
    static constexpr std::int64_t kAskSeconds = 30;

    // The page shows server (null: the page is hidden); a new server is
    // asked at once.
    void Show(CHLServer* server, std::int64_t now);
    CHLServer* shown() const { return m_server; }
    // Once a second: asks again when it is time.
    void Tick(std::int64_t now);
    void Forget(const CCommonObject& object);

private:
    CHLServer* m_server = nullptr;
    std::int64_t m_askedAt = 0;
};

namespace variables {

// NAME "VALUE", or nothing when the name is not a plain variable name or
// the value could end its argument (see isSafeCommandArgument).
std::optional<std::string> setCommand(std::string_view name, std::string_view value);

// The rules whose name or value holds filter (any case).
std::vector<std::pair<std::string, std::string>>
filterRules(const std::vector<std::pair<std::string, std::string>>& rules, std::string_view filter);

} // namespace variables
