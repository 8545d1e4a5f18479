#include "ServerLog.h"

#include <QDateTime>

#include <algorithm>

std::optional<QByteArray> ServerLog::runCommand(const QByteArray& name, const QByteArray& argument)
{
    if (name == "log") {
        if (argument == "on" || argument == "off")
            m_on = argument == "on";
        return QByteArray(m_on ? "currently logging\n" : "not currently logging\n");
    }
    if (name != "logaddress_add" && name != "logaddress_del")
        return std::nullopt;
    const QList<QByteArray> parts = argument.simplified().split(' ');
    bool ok = false;
    const int port = parts.value(1).toInt(&ok);
    const QHostAddress address(QString::fromLatin1(parts.value(0)));
    // The park lives on 127.0.0.1: it streams to no other machine.
    if (parts.size() != 2 || !ok || port < 1 || port > 65535 || !address.isLoopback())
        return QByteArray("usage: " + name + " ip port\n");
    const auto same = [&](const Target& target) { return target.address == address && target.port == port; };
    if (name == "logaddress_del") {
        m_targets.removeIf(same);
        return QByteArray("logaddress_del:  " + parts[0] + ':' + parts[1] + '\n');
    }
    if (std::none_of(m_targets.begin(), m_targets.end(), same) && m_targets.size() < kMaxTargets)
        m_targets.append(Target{address, static_cast<quint16>(port)});
    return QByteArray("logaddress_add:  " + parts[0] + ':' + parts[1] + '\n');
}

void ServerLog::write(const QByteArray& body)
{
    if (!streaming())
        return;
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy - HH:mm:ss")).toLatin1();
    QByteArray datagram("\xFF\xFF\xFF\xFFlog L " + stamp + ": " + body + "\n");
    datagram.append('\0');
    for (const Target& target : m_targets)
        m_send(datagram, target.address, target.port);
}

QByteArray ServerLog::player(const Player& who)
{
    const QByteArray team = who.userId % 2 ? "CT" : "TERRORIST";
    return '"' + who.name + '<' + QByteArray::number(who.userId) + "><" + who.uniqueId + "><" + team + ">\"";
}
