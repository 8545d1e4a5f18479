#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

// The demo files of one proxy's recording, written as HLTV writes them: the
// name it was given, then "-YYMMDDhhmm-MAP.dem"; a new file at each map
// change; the bytes grow while the recording runs.
class DemoWriter
{
public:
    // dir empty: recording writes nothing.
    explicit DemoWriter(QString dir) : m_dir(std::move(dir)) {}

    void start(const QByteArray& name, const QByteArray& map);
    // One second of recording on map: a map change starts the next file.
    void grow(const QByteArray& map, int bytes);
    void stop();
    // The file written to now, without its folder; empty when none.
    QString currentFile() const;

private:
    void open(const QByteArray& map);

    QString m_dir;
    QByteArray m_name;
    QByteArray m_map;
    std::unique_ptr<QFile> m_file;
    quint32 m_counter = 0;
};
