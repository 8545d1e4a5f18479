#include "feeds/LiveFeeds.h"

#include "feeds/LogLine.h"

#include <QVariant>

#include <QNetworkDatagram>
#include <string_view>

LiveFeeds::LiveFeeds(QObject* parent) : QObject(parent)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &LiveFeeds::readBatch);
}

bool LiveFeeds::listen(const QHostAddress& address, quint16 port, QString& error)
{
    m_socket.close();
    if (m_socket.bind(address, port)) {
        // Room for a park's bursts (a round end logs a line per player).
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(1 << 20));
        return true;
    }
    error = m_socket.errorString();
    return false;
}

bool LiveFeeds::isListening() const
{
    return m_socket.state() == QAbstractSocket::BoundState;
}

const ObjectFeed* LiveFeeds::feed(const std::string& name) const
{
    const auto found = m_feeds.find(name);
    return found == m_feeds.end() ? nullptr : &found->second;
}

void LiveFeeds::keepEvents(bool keep)
{
    m_keepEvents = keep;
    if (!keep)
        for (auto& [name, feed] : m_feeds)
            feed.events.clear();
}

void LiveFeeds::recordPlayers(const std::string& name, std::int64_t seconds, int count)
{
    m_feeds[name].history.record(seconds, count);
}

void LiveFeeds::setSecret(const std::string& name, const std::string& secret)
{
    if (secret.empty())
        m_secrets.erase(name);
    else
        m_secrets[name] = secret;
}

void LiveFeeds::readBatch()
{
    // The rest of a burst stays queued; the socket's notifier fires again on
    // the next pass of the event loop, after the timers due by then.
    // One byte more than the largest datagram taken: a read that fills it was
    // cut by the buffer, and the rest of a cut line is lost.
    QByteArray buffer(kMaxDatagram + 1, Qt::Uninitialized);
    for (int i = 0; i < kBatch && m_socket.hasPendingDatagrams(); ++i) {
        QHostAddress sender;
        quint16 port = 0;
        const qint64 size = m_socket.readDatagram(buffer.data(), buffer.size(), &sender, &port);
        if (size < 0)
            break;
        if (size > kMaxDatagram) {
            ++m_droppedMalformed;
            continue;
        }
        receive(QByteArrayView(buffer.constData(), size), sender, port);
    }
}

void LiveFeeds::receive(QByteArrayView datagram, const QHostAddress& sender, quint16 port)
{
    bool isIpv4 = false;
    const quint32 ipv4 = sender.toIPv4Address(&isIpv4);
    const auto source = isIpv4 ? m_sources.find(sourceKey(ipv4, port)) : m_sources.end();
    if (source == m_sources.end()) {
        ++m_droppedStrangers;
        return;
    }
    const std::string_view bytes(datagram.data(), static_cast<std::size_t>(datagram.size()));
    std::string_view secret;
    const auto line = logLineOfDatagram(bytes, &secret);
    if (!line) {
        ++m_droppedMalformed;
        return;
    }
    if (const auto expected = m_secrets.find(source->second);
        expected != m_secrets.end() && expected->second != secret) {
        ++m_droppedBadSecret;
        return;
    }
    ++m_lines[source->second];
    auto event = parseLogLine(*line);
    if (!event) {
        if (const auto refused = parseRefusedRcon(*line)) {
            const std::string name = source->second;
            emit rconRefused(name, *refused);
        }
        return; // a log line of a kind not followed (cvars, rcon echoes, ...)
    }
    // A copy: a receiver of the signal may replace the sources.
    const std::string name = source->second;
    ObjectFeed& feed = m_feeds[name];
    ++feed.counts[static_cast<std::size_t>(event->type)];
    if (!m_keepEvents) {
        emit eventReceived(name, EventRing::trimmed(std::move(*event)));
        return;
    }
    feed.events.push(std::move(*event));
    const LogEvent filed = feed.events.events().back();
    emit eventReceived(name, filed);
}
