#include "objects/RconChallenge.h"

RconChallenge::Action RconChallenge::OnReject()
{
    if (m_bRejected)
        return Action::None; // part of a refusal already handled
    m_bRejected = true;
    if (m_bFresh) {
        // No immediate retry, so that a machine rejecting every challenge is
        // not asked again at network speed: the poll cycle asks next.
        m_bFresh = false;
        return Action::LoseControl;
    }
    return Action::AskChallenge;
}

RconChallenge::Action RconChallenge::OnBadPassword()
{
    if (m_bRejected)
        return Action::None; // the echo of a reject, or an answer to the old number
    if (m_bFresh) {
        m_bFresh = false;
        return Action::WrongPassword;
    }
    m_bRejected = true;
    return Action::AskChallenge;
}

void RconChallenge::OnChallenge()
{
    m_bRejected = false;
    m_bFresh = true;
}

void RconChallenge::OnAccepted()
{
    m_bFresh = false;
}

void RconChallenge::Reset()
{
    m_bRejected = false;
    m_bFresh = false;
}
