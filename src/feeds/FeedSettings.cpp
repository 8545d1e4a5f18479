#include "feeds/FeedSettings.h"

namespace feedsettings {

std::optional<Endpoint> parseEndpoint(const QString& text)
{
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const int port = trimmed.mid(colon + 1).toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    Endpoint endpoint;
    endpoint.port = static_cast<quint16>(port);
    endpoint.address = colon < 0 ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(trimmed.left(colon));
    if (endpoint.address.isNull())
        return std::nullopt;
    return endpoint;
}

} // namespace feedsettings
