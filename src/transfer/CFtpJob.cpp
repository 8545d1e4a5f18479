#include "transfer/CFtpJob.h"

#include <utility>

CFtpJob::CFtpJob(std::string server, int port, std::string content, std::string remoteFile, std::string user,
                 std::string password, int kind)
    : m_strServer(std::move(server)), m_nPort(port), m_strContent(std::move(content)),
      m_strRemoteFile(std::move(remoteFile)), m_strUser(std::move(user)), m_strPassword(std::move(password)),
      m_nKind(kind)
{
}
