#pragma once

#include <string>
#include <string_view>

// Text from a machine placed into an HTML page: & < > " and ' become
// entities, so that a host name cannot open an element or an attribute.
// Bytes are otherwise copied as they are.
std::string escapeHtml(std::string_view text);
