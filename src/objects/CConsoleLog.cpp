#include "objects/CConsoleLog.h"

#include <algorithm>

void CConsoleLog::Add(std::string text)
{
    ++m_nAdded;
    if (m_nLines == kCapacity) {
        std::move(m_strLines.begin() + 1, m_strLines.end(), m_strLines.begin());
        m_strLines.back() = std::move(text);
    } else {
        m_strLines[static_cast<std::size_t>(m_nLines++)] = std::move(text);
    }
}

void CConsoleLog::Clear()
{
    for (int i = 0; i < m_nLines; ++i)
        m_strLines[static_cast<std::size_t>(i)].clear();
    m_nLines = 0;
}
