#pragma once

#include <netinet/in.h>
#include <string_view>
#include <sys/socket.h>

// The local port a UDP socket is bound to; 0 for none (or no socket).
unsigned short boundPort(int fd);

// Room to take many datagrams off a socket in one recvmmsg call. Each slot
// is one byte longer than the largest reply, so that a longer datagram
// shows as too long, and one more for the NUL written after a datagram.
struct ReceiveBatch
{
    static constexpr int kMaxDatagram = 2048;
    static constexpr int kDatagrams = 64;
    static constexpr int kSlot = kMaxDatagram + 1;

    char bytes[kDatagrams][kSlot + 1];
    iovec parts[kDatagrams];
    mmsghdr headers[kDatagrams];
    sockaddr_in sources[kDatagrams];

    // Takes what is waiting (at most kDatagrams) without blocking; the
    // sources are filled when withSources. The count, or -1 on an error.
    int receive(int fd, bool withSources);
    // Datagram i as a reply: NUL-terminated, or empty when it was too long
    // or lacks the four 0xFF bytes every reply starts with.
    std::string_view reply(int i);
};

// A batch lent for one wake-up. Sockets share a few (they all run on one
// thread); a reply handled inside another's handling (a modal message runs
// the event loop) borrows a second one.
class BorrowedBatch
{
public:
    BorrowedBatch();
    ~BorrowedBatch();
    BorrowedBatch(const BorrowedBatch&) = delete;
    BorrowedBatch& operator=(const BorrowedBatch&) = delete;
    ReceiveBatch& operator*() { return *m_batch; }

private:
    ReceiveBatch* m_batch;
};
