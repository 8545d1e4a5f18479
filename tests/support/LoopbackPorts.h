#pragma once

#include <QString>
#include <QUdpSocket>

// "127.0.0.1:PORT", as the program's command line and its lists write it.
inline QString loopbackAt(quint16 port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

// A UDP port on loopback that was free a moment ago and is given back at
// once: nothing listens there until the test puts something on it.
inline quint16 unusedUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}
