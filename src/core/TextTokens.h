#pragma once

#include <string>
#include <string_view>

// Text helpers that the reply parsers, the clan detector and the page
// generator share.

// Cuts the text before the first occurrence of delimiter off source and
// returns it; source keeps what follows the delimiter. When the delimiter is
// absent the token is empty, source is unchanged and *notFound (if given)
// becomes 1; it is never reset.
std::string CutToken(std::string& source, std::string_view delimiter, int* notFound = nullptr);

// True when text starts with prefix (byte comparison, case-sensitive).
bool beginsWith(std::string_view text, std::string_view prefix);
