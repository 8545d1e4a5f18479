#include "objects/CConsoleLog.h"

#include <algorithm>

void CConsoleLog::Add(std::string text)
{
    ++m_nAdded;
    if (m_strLines.size() == static_cast<std::size_t>(kCapacity)) {
        std::move(m_strLines.begin() + 1, m_strLines.end(), m_strLines.begin());
        m_strLines.back() = std::move(text);
    } else {
        m_strLines.push_back(std::move(text));
    }
}

void CConsoleLog::Clear()
{
    m_strLines.clear();
}
