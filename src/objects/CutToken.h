#pragma once

#include <string>
#include <string_view>

// Cuts the text before the first occurrence of delimiter off source and
// returns it; source keeps what follows the delimiter. When the delimiter is
// absent the token is empty, source is unchanged and *notFound (if given)
// becomes 1; it is never reset.
std::string CutToken(std::string& source, std::string_view delimiter, int* notFound = nullptr);
