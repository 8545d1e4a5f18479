#pragma once

#include <cstdint>
#include <string>

// Removes, in place, every character outside a-z, A-Z, 0-9 and ( ) - _ = { } @ [ ] ! +
// so that a demo name is a safe file name on the proxy.
void SanitizeDemoName(std::string& name);

// "%Y-%m-%d_%Hh%M" of the given time (seconds since 1970) in local time.
std::string demoTimeStamp(std::int64_t seconds);
