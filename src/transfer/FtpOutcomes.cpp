#include "transfer/FtpOutcomes.h"

void FtpOutcomes::Post(FtpOutcome outcome)
{
    const std::lock_guard lock(m_mutex);
    m_posted.push_back(std::move(outcome));
    while (m_posted.size() > kCapacity)
        m_posted.pop_front();
}

std::vector<FtpOutcome> FtpOutcomes::Take()
{
    const std::lock_guard lock(m_mutex);
    std::vector<FtpOutcome> taken(std::make_move_iterator(m_posted.begin()),
                                  std::make_move_iterator(m_posted.end()));
    m_posted.clear();
    return taken;
}
