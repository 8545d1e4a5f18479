#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// A real FTP server (pyftpdlib, tests/support/ftp_server.py) on 127.0.0.1,
// serving a temporary directory as "/". One user may write (kUser with
// kPassword, which holds characters that would break an FTP URL); "reader"
// with password "reader" may only read. After login the working directory
// is kStartDir. The destructor stops the server.
class FtpServer
{
public:
    static constexpr const char* kUser = "operator";
    static constexpr const char* kPassword = "p@ss:w/rd %41#?";
    static constexpr const char* kStartDir = "start";

    FtpServer();
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // Port 0 takes a free port. Waits (bounded) until the server listens;
    // false when it does not, errorString() says why.
    bool start(quint16 port = 0);
    // Kills the server at once, as a crash would; the files stay.
    void stop();
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

    // The directory served as "/".
    QString home() const { return m_home.path(); }
    // The bytes of a file given by its path under "/"; nothing when absent.
    std::optional<QByteArray> file(const QString& remotePath) const;
    bool putFile(const QString& remotePath, const QByteArray& bytes) const;

    // While held, the server leaves the data of every upload unread.
    bool hold();
    bool release();
    // The next download's data connection breaks after bytes bytes; the
    // server itself runs on. waitForLine("cut") tells it has happened.
    bool cutAfter(qint64 bytes);
    // Waits (bounded) for a line of the server: "receiving /path" when a
    // held upload has started, "received /path" when an upload is complete.
    bool waitForLine(const QByteArray& line, int timeoutMs = 10000);
    // The paths of the completed uploads, in the order they completed.
    QList<QByteArray> received();

private:
    bool command(const QByteArray& command, const QByteArray& answer);
    void readLines();

    QTemporaryDir m_home;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QList<QByteArray> m_lines;
    QString m_error;
};
