#pragma once

#include <cstddef>

// What one HTTP client may take of the metrics endpoint. Whoever can reach
// the port is untrusted, so every buffer, connection and wait is bounded.
struct HttpLimits
{
    // Request line plus headers, in bytes.
    std::size_t maxHeadBytes = 8 * 1024;
    // Open connections in all, and from one peer address.
    int maxConnections = 64;
    int maxPerPeer = 8;
    // A request must arrive whole, and its answer be taken, within this
    // long of the connection's last answer (or its opening): an idle or
    // slow client is closed.
    int requestTimeoutMs = 10'000;
    // Bytes of an answer handed to the socket at a time.
    std::size_t writeChunkBytes = 64 * 1024;
};
