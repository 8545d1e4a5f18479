#include "feeds/LogStream.h"

#include "core/CommandArguments.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

std::optional<QHostAddress> localAddressToward(quint32 ipv4)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(ipv4);
    peer.sin_port = htons(9); // any port: connecting a UDP socket sends nothing
    sockaddr_in local{};
    socklen_t length = sizeof(local);
    const bool found = ::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0;
    ::close(fd);
    if (!found || local.sin_addr.s_addr == 0)
        return std::nullopt;
    return QHostAddress(ntohl(local.sin_addr.s_addr));
}

std::optional<std::vector<std::string>> logStreamCommands(bool start, const QHostAddress& address,
                                                          quint16 port)
{
    bool isIpv4 = false;
    address.toIPv4Address(&isIpv4);
    const std::string text = address.toString().toStdString();
    if (!isIpv4 || port == 0 || !isSafeCommandArgument(text) || text.find(' ') != std::string::npos)
        return std::nullopt;
    const std::string target = text + ' ' + std::to_string(port);
    if (!start)
        return std::vector<std::string>{"logaddress_del " + target};
    return std::vector<std::string>{"logaddress_add " + target, "log on"};
}
