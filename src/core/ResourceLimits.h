#pragma once

#include <cstdint>

// Every monitored object holds one socket: a park of thousands needs more
// descriptors than the usual soft limit of 1024. Raises the soft limit on
// open files to the hard limit and returns the limit now in force (0 when
// it cannot be read).
std::uint64_t raiseOpenFileLimit();
