#pragma once

#include <cstdint>

// Every monitored object holds one socket: a park of thousands needs more
// descriptors than the usual soft limit of 1024. Raises the soft limit on
// open files to the hard limit and returns the limit now in force (0 when
// it cannot be read).
std::uint64_t raiseOpenFileLimit();

// Past the file size limit (ulimit -f) the system sends SIGXFSZ, which ends
// the program; ignored, the write fails with EFBIG instead and the program
// reports it. Safe to call any number of times.
void ignoreFileSizeSignal();
