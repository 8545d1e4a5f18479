#include "objects/DatagramBatch.h"

#include "objects/OobDatagrams.h"
#include "objects/ServerRules.h"

#include <arpa/inet.h>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<ReceiveBatch>>& spareBatches()
{
    static std::vector<std::unique_ptr<ReceiveBatch>> spares;
    return spares;
}

} // namespace

unsigned short boundPort(int fd)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

int ReceiveBatch::receive(int fd, bool withSources)
{
    for (int i = 0; i < kDatagrams; ++i) {
        parts[i] = iovec{bytes[i], kSlot};
        headers[i] = mmsghdr{};
        headers[i].msg_hdr.msg_iov = &parts[i];
        headers[i].msg_hdr.msg_iovlen = 1;
        if (withSources) {
            headers[i].msg_hdr.msg_name = &sources[i];
            headers[i].msg_hdr.msg_namelen = sizeof sources[i];
        }
    }
    return ::recvmmsg(fd, headers, kDatagrams, MSG_DONTWAIT, nullptr);
}

std::string_view ReceiveBatch::reply(int i)
{
    const auto length = static_cast<std::size_t>(headers[i].msg_len);
    // Too long for a reply: dropped whole rather than passed on cut.
    if (length > static_cast<std::size_t>(kMaxDatagram) || (headers[i].msg_hdr.msg_flags & MSG_TRUNC))
        return {};
    bytes[i][length] = '\0';
    const std::string_view datagram(bytes[i], length);
    // Parts of a long reply start with FE FF FF FF; the object joins them.
    return oob::hasOobPrefix(datagram) || oob::hasSplitPrefix(datagram) ? datagram : std::string_view();
}

BorrowedBatch::BorrowedBatch()
{
    auto& spares = spareBatches();
    if (spares.empty()) {
        m_batch = new ReceiveBatch;
    } else {
        m_batch = spares.back().release();
        spares.pop_back();
    }
}

BorrowedBatch::~BorrowedBatch()
{
    spareBatches().emplace_back(m_batch);
}
