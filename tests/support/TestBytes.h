#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A file's whole content; empty when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Size bytes that look like a recording and differ with the seed, the same
// on every run.
inline QByteArray demoBytes(int size, int seed = 1)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = static_cast<quint32>(seed) * 2654435761u;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

// One line of a server's log stream as it arrives in a datagram.
inline QByteArray logDatagram(const QByteArray& body)
{
    return "\xFF\xFF\xFF\xFFlog L 10/05/2024 - 14:22:01: " + body + "\n" + '\0';
}
