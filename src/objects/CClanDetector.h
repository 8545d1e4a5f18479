#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Finds clan tags: name prefixes that enough of the current players share.
class CClanDetector
{
public:
    virtual ~CClanDetector() = default;

    // Returns false and leaves result untouched when there are fewer than
    // m_nMinPlayers names; otherwise writes the tags found (joined by ", ",
    // possibly none) into result under lock and returns true.
    virtual bool Detect(const std::vector<std::string>& names, std::mutex& lock, std::string& result);

    std::uint8_t m_nMinShare = 40;    // percent of all players, at least
    std::uint8_t m_nMaxShare = 100;   // percent, at most
    std::uint8_t m_nMinMembers = 2;   // players carrying the tag, at least
    std::uint8_t m_nMinPlayers = 5;   // below this nothing is detected
    std::uint8_t m_nMaxTagLength = 12; // longest prefix tried, in characters
    std::uint8_t m_nMinTagLength = 2;  // shortest prefix tried
};
