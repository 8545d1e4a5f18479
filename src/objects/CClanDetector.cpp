#include "objects/CClanDetector.h"

#include "core/TextCodec.h"
#include "core/TextTokens.h"

#include <algorithm>
#include <deque>

namespace {

// The first `characters` characters of name: code points when the name is
// UTF-8, bytes otherwise (older servers send single-byte names).
std::string prefixOf(const std::string& name, int characters)
{
    if (!isValidUtf8(name))
        return name.substr(0, static_cast<std::size_t>(characters));
    std::size_t end = 0;
    for (int taken = 0; taken < characters && end < name.size(); ++taken) {
        ++end;
        while (end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
            ++end;
    }
    return name.substr(0, end);
}

} // namespace

bool CClanDetector::Detect(const std::vector<std::string>& names, std::mutex& lock, std::string& result)
{
    if (names.size() < m_nMinPlayers)
        return false;

    std::deque<std::string> work(names.begin(), names.end());
    std::sort(work.begin(), work.end());
    const auto total = static_cast<double>(work.size());

    std::string found;
    int length = m_nMaxTagLength;
    do {
        const std::string candidate = prefixOf(work.front(), length);
        std::size_t matches = 1;
        while (matches < work.size() && beginsWith(work[matches], candidate))
            ++matches;

        const auto share = static_cast<int>(static_cast<double>(matches) * 100.0 / total);
        if (share >= m_nMinShare && share <= m_nMaxShare && matches >= m_nMinMembers) {
            if (!found.empty())
                found += ", ";
            found += candidate;
            while (!work.empty() && beginsWith(work.front(), candidate))
                work.pop_front();
            length = m_nMaxTagLength + 1;
        }
        if (length <= m_nMinTagLength) {
            work.pop_front();
            length = m_nMaxTagLength + 1;
        }
        --length;
    } while (work.size() > 1);

    const std::lock_guard guard(lock);
    result = found;
    return true;
}
