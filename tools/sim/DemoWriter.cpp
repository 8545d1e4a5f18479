#include "DemoWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

// Map names come from the park's own settings, but a file name must not
// leave the folder whatever they hold.
QByteArray fileSafe(QByteArray text)
{
    for (char& c : text)
        if (c == '/' || c == '\\' || c == '\0' || static_cast<unsigned char>(c) < 32)
            c = '_';
    if (text.isEmpty() || text == "." || text == "..")
        text = "unknown";
    return text;
}

} // namespace

void DemoWriter::start(const QByteArray& name, const QByteArray& map)
{
    stop();
    if (m_dir.isEmpty())
        return;
    m_name = fileSafe(name);
    open(map);
}

void DemoWriter::open(const QByteArray& map)
{
    m_map = map;
    const QByteArray stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyMMddhhmm")).toLatin1();
    const QString name = QString::fromUtf8(m_name + '-' + stamp + '-' + fileSafe(map) + ".dem");
    m_file = std::make_unique<QFile>(QDir(m_dir).filePath(name));
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_file.reset();
        return;
    }
    m_file->write(QByteArray("HLDEMO\0\0", 8));
    m_file->flush();
}

void DemoWriter::grow(const QByteArray& map, int bytes)
{
    if (m_name.isEmpty())
        return;
    if (map != m_map) {
        m_file.reset();
        open(map);
    }
    if (!m_file)
        return;
    QByteArray chunk(bytes, Qt::Uninitialized);
    for (char& c : chunk)
        c = static_cast<char>((m_counter++ * 2654435761u) >> 24);
    m_file->write(chunk);
    m_file->flush();
}

void DemoWriter::stop()
{
    m_file.reset();
    m_name.clear();
    m_map.clear();
}

QString DemoWriter::currentFile() const
{
    return m_file ? QFileInfo(m_file->fileName()).fileName() : QString();
}
