#pragma once

#include <string_view>

// Checks of values placed into remote-console commands.
//
// A machine's console splits a command line at ';' and at line breaks and
// reads quoted arguments up to the next '"', so a value that holds one of
// these could end its argument and start a command of its own. A value
// from a machine (a player name, a server password) or from the operator
// is placed into a command only when it passes.

// No '"', ';', CR, LF or NUL.
bool isSafeCommandArgument(std::string_view value);

// A password sent between the quotes of an rcon datagram: no '"', CR, LF
// or NUL (a ';' inside the quotes is harmless).
bool isUsableRconPassword(std::string_view password);

// The name of a console variable or map, placed into a command without
// quotes: 1 to 64 letters, digits and "_-.+/!@#$%&()[]{}" (no space, no
// quote, no ';', no control character, no byte above 0x7E).
bool isSafeCommandWord(std::string_view word);

// The message shown when a typed password is refused.
inline constexpr std::string_view kPasswordRefusedText =
    "A password cannot hold a double quote (\"), a line break or a NUL byte.";
