#pragma once

#include <memory>
#include <string>

class FtpOutcomes;

// One upload: the bytes of m_strContent (kind 0) or the local file it names
// (kind 1), stored on an FTP server as m_strRemoteFile. A job added to the
// CFtpJobManager belongs to it until the worker has run it.
class CFtpJob
{
public:
    enum Kind
    {
        kString = 0,   // upload m_strContent itself
        kLocalFile = 1 // upload the local file whose path is m_strContent
    };

    CFtpJob() = default;
    CFtpJob(std::string server, int port, std::string content, std::string remoteFile, std::string user,
            std::string password, int kind);

    // True for kind 1 only: every other value is handled as kind 0.
    bool UploadsLocalFile() const { return m_nKind == kLocalFile; }

    std::string m_strServer;     // host name or address (IPv6 with or without brackets)
    int m_nPort = 21;            // TCP port of the server, 1..65535
    std::string m_strContent;    // kind 0: the bytes; kind 1: the local path
    std::string m_strRemoteFile; // "/dir/name" from the server's root, "name" from the login directory
    std::string m_strUser;
    std::string m_strPassword;
    int m_nKind = kString;
    // When set, what becomes of the job (done, or why not) is posted here
    // instead of being reported to the operator: the sender tells him in
    // its own way.
    std::shared_ptr<FtpOutcomes> m_pOutcomes;
};
