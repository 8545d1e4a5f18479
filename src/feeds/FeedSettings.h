#pragma once

// QSettings keys the window keeps for the live feeds, in the same form as
// the command line's values ("ADDRESS:PORT", or empty for off).
namespace feedsettings {
inline constexpr const char* kLogListen = "LiveFeeds/LogListen";
inline constexpr const char* kMetrics = "LiveFeeds/Metrics";
} // namespace feedsettings
