#pragma once

#include "feeds/LogEvent.h"
#include "feeds/LogLine.h"
#include "feeds/ObjectFeed.h"

#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>
#include <cstdint>
#include <string>
#include <unordered_map>

// The live feeds of a park: one UDP socket that machines stream their logs
// to, and per object (by its "address:port" name) the events and history
// kept in memory.
//
// A datagram is given to the object whose address and port sent it; from
// anyone else it is dropped and counted, and so is one that is not a log
// line. At most kBatch datagrams are read per wake-up, so a flood waits in
// the kernel's buffer (which drops what overflows) while timers still run;
// per object only the newest events are kept, and only once a reader asked
// for them (keepEvents): otherwise an event is counted and signalled, and
// takes no memory after.
class LiveFeeds : public QObject
{
    Q_OBJECT

public:
    static constexpr int kBatch = 64;
    // The largest datagram taken; a server's log lines fit well within it.
    static constexpr int kMaxDatagram = 2048;

    explicit LiveFeeds(QObject* parent = nullptr);

    // Opens the log socket; false with the reason in error.
    bool listen(const QHostAddress& address, quint16 port, QString& error);
    bool isListening() const;
    // Closes the log socket; what was kept stays.
    void close() { m_socket.close(); }
    QHostAddress listenAddress() const { return m_socket.localAddress(); }
    quint16 listenPort() const { return m_socket.localPort(); }

    // Who may send: IPv4 address (host order) and port, to the object's name.
    using Sources = std::unordered_map<std::uint64_t, std::string>;
    static std::uint64_t sourceKey(quint32 ipv4, quint16 port) { return (std::uint64_t{ipv4} << 16) | port; }
    void setSources(Sources sources) { m_sources = std::move(sources); }

    // Whether each object's newest events are kept in its ring. Off until a
    // reader that shows them (the window's Live page) turns it on; turned
    // off, the rings are emptied.
    void keepEvents(bool keep);
    bool keepsEvents() const { return m_keepEvents; }

    // The object's feed, nullptr when nothing was kept for it yet.
    const ObjectFeed* feed(const std::string& name) const;
    // Records a player count for the object's history.
    void recordPlayers(const std::string& name, std::int64_t seconds, int count);
    // Fills in what the ledger kept of the object's history.
    void fillHistory(const std::string& name, const PlayerHistory::Backfill& kept) { m_feeds[name].history.fill(kept); }
    // Forgets an object that left the park.
    void forget(const std::string& name)
    {
        m_feeds.erase(name);
        m_secrets.erase(name);
        m_lines.erase(name);
    }
    // Log datagrams taken from the object so far, of any kind of line.
    std::uint64_t linesFrom(const std::string& name) const
    {
        const auto found = m_lines.find(name);
        return found == m_lines.end() ? 0 : found->second;
    }
    // The log secret (sv_logsecret) the object's datagrams must carry; with
    // one set, a datagram without it or with another is dropped. Empty: none.
    void setSecret(const std::string& name, const std::string& secret);

    // Datagrams dropped: from a sender that is no object, not a whole log
    // line (longer than kMaxDatagram, or without its line end), or without
    // the object's secret.
    std::int64_t droppedStrangers() const { return m_droppedStrangers; }
    std::int64_t droppedMalformed() const { return m_droppedMalformed; }
    std::int64_t droppedBadSecret() const { return m_droppedBadSecret; }

    // Parses and files one datagram as if it came from sender; what the
    // socket does for each datagram it reads.
    void receive(QByteArrayView datagram, const QHostAddress& sender, quint16 port);

signals:
    // A log event, filed in the object's ring when events are kept. Fields
    // are the machine's text.
    void eventReceived(const std::string& objectName, const LogEvent& event);
    // The object logged a refused rcon command from source.
    void rconRefused(const std::string& objectName, const RefusedRcon& source);

private:
    void readBatch();

    QUdpSocket m_socket;
    Sources m_sources;
    std::unordered_map<std::string, ObjectFeed> m_feeds;
    std::unordered_map<std::string, std::string> m_secrets;
    std::unordered_map<std::string, std::uint64_t> m_lines;
    std::int64_t m_droppedStrangers = 0;
    std::int64_t m_droppedMalformed = 0;
    std::int64_t m_droppedBadSecret = 0;
    bool m_keepEvents = false;
};
