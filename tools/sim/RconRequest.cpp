#include "RconRequest.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

const QByteArray kVerb("rcon ");

// Reads the password (quoted or up to the next blank) and the command that
// follows it from `position` on.
std::optional<RconRequest> passwordAndCommand(const QByteArray& text, qsizetype position)
{
    RconRequest request;
    if (position < text.size() && text[position] == '"') {
        const qsizetype close = text.indexOf('"', position + 1);
        if (close < 0)
            return std::nullopt;
        request.password = text.mid(position + 1, close - position - 1);
        position = close + 1;
    } else {
        // an unquoted password ends at the next blank
        qsizetype end = position;
        while (end < text.size() && !isBlank(text[end]))
            ++end;
        request.password = text.mid(position, end - position);
        position = end;
    }
    if (position < text.size() && text[position] == ' ')
        ++position;
    request.command = text.mid(position);
    return request;
}

} // namespace

std::optional<RconRequest> parseRcon(const QByteArray& text)
{
    if (!text.startsWith(kVerb))
        return std::nullopt;
    qsizetype position = kVerb.size();
    const qsizetype digitsStart = position;
    quint64 challenge = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
        challenge = challenge * 10 + static_cast<quint64>(text[position] - '0');
        if (challenge > 0xFFFFFFFFull)
            return std::nullopt;
        ++position;
    }
    if (position == digitsStart || position >= text.size() || text[position] != ' ')
        return std::nullopt;
    std::optional<RconRequest> request = passwordAndCommand(text, position + 1);
    if (request)
        request->challenge = static_cast<quint32>(challenge);
    return request;
}

std::optional<RconRequest> parseChallengelessRcon(const QByteArray& text)
{
    if (!text.startsWith(kVerb))
        return std::nullopt;
    return passwordAndCommand(text, kVerb.size());
}

QByteArray commandName(const QByteArray& command)
{
    qsizetype end = 0;
    while (end < command.size() && !isBlank(command[end]))
        ++end;
    return command.left(end);
}

QByteArray commandArgument(const QByteArray& command)
{
    qsizetype position = commandName(command).size();
    while (position < command.size() && isBlank(command[position]))
        ++position;
    return command.mid(position);
}

QList<QByteArray> splitArguments(const QByteArray& text)
{
    QList<QByteArray> arguments;
    qsizetype position = 0;
    while (position < text.size()) {
        while (position < text.size() && isBlank(text[position]))
            ++position;
        if (position >= text.size())
            break;
        if (text[position] == '"') {
            const qsizetype close = text.indexOf('"', position + 1);
            const qsizetype end = close < 0 ? text.size() : close;
            arguments.append(text.mid(position + 1, end - position - 1));
            position = end + 1;
        } else {
            const qsizetype start = position;
            while (position < text.size() && !isBlank(text[position]))
                ++position;
            arguments.append(text.mid(start, position - start));
        }
    }
    return arguments;
}

QByteArray unquoted(const QByteArray& text)
{
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
        return text.mid(1, text.size() - 2);
    return text;
}
