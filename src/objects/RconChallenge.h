#pragma once

// Tells a wrong rcon password from a challenge number the machine no longer
// knows. A restarted server answers a command that carries the old number
// with a reject ('9': "Bad challenge." or "No challenge for your address."),
// often followed by "Bad rcon_password."; some answer with the latter alone.
// So a refusal counts as a wrong password only when it answers a command sent
// with a challenge obtained just before it; any other refusal asks for a new
// challenge first, and everything refused until that challenge comes belongs
// to the old one.
class RconChallenge
{
public:
    enum class Action
    {
        None,
        AskChallenge,  // ask for a new challenge: its reply retries the command
        WrongPassword, // refused with a fresh challenge: the password is wrong
        LoseControl    // even a fresh challenge was rejected: control is not proven
    };

    // A reject datagram ('9').
    Action OnReject();
    // A "Bad rcon_password." line.
    Action OnBadPassword();
    // A challenge reply: the number is fresh.
    void OnChallenge();
    // Command output: password and challenge work.
    void OnAccepted();
    // A new challenge was asked for after a refusal and has not come yet.
    bool AwaitingChallenge() const { return m_bRejected; }
    void Reset();

private:
    bool m_bRejected = false;
    bool m_bFresh = false;
};
