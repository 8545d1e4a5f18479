#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// One rcon command as a machine receives it:
//   rcon CHALLENGE "PASSWORD" COMMAND
// The password ends at the next double quote (it is not escaped), and the
// command is everything after the closing quote and one blank.
struct RconRequest
{
    quint32 challenge = 0;
    QByteArray password;
    QByteArray command;
};

// `text` is the datagram after its four 0xFF bytes, up to its first 00.
// Nothing when the text is not an rcon command or its challenge is no
// unsigned 32-bit decimal number.
std::optional<RconRequest> parseRcon(const QByteArray& text);
// The form hub managers take, without a challenge:
//   rcon "PASSWORD" COMMAND
// (challenge stays 0). Nothing when the text is not an rcon command or its
// quoted password is not closed.
std::optional<RconRequest> parseChallengelessRcon(const QByteArray& text);

// The command's first word.
QByteArray commandName(const QByteArray& command);
// What follows the first word and the blanks after it.
QByteArray commandArgument(const QByteArray& command);
// Arguments separated by blanks; a double-quoted one keeps its blanks.
QList<QByteArray> splitArguments(const QByteArray& text);
// The text between the first and the last double quote when it starts and
// ends with one (so inner quotes stay), otherwise the text itself.
QByteArray unquoted(const QByteArray& text);
