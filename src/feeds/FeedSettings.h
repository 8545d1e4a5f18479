#pragma once

#include <QHostAddress>
#include <QString>
#include <optional>

// QSettings keys the window keeps for the live feeds, in the same form as
// the command line's values ("ADDRESS:PORT", or empty for off).
namespace feedsettings {
inline constexpr const char* kLogListen = "LiveFeeds/LogListen";
inline constexpr const char* kMetrics = "LiveFeeds/Metrics";

// Where a feed listens.
struct Endpoint
{
    QHostAddress address;
    quint16 port = 0;
};

// "ADDRESS:PORT" (an IP address, split at the last colon), or "PORT" alone
// on 127.0.0.1; nothing for any other text, empty text included.
std::optional<Endpoint> parseEndpoint(const QString& text);
} // namespace feedsettings
