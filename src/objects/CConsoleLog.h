#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The last 50 console lines of an object, oldest first.
class CConsoleLog
{
public:
    static constexpr int kCapacity = 50;

    // Appends a line; when the log is full the oldest line is dropped.
    void Add(std::string text);
    void Clear();

    int count() const { return static_cast<int>(m_strLines.size()); }
    // Lines added since the log was made, dropped ones included: a reader
    // that remembers it finds the lines added since it last looked.
    std::uint64_t added() const { return m_nAdded; }
    const std::string& line(int index) const { return m_strLines[static_cast<std::size_t>(index)]; }

private:
    std::uint64_t m_nAdded = 0;
    // Grows with the lines: most objects of a large park never log a line,
    // and an empty log costs next to nothing.
    std::vector<std::string> m_strLines;
};
