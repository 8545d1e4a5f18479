#pragma once

#include <string>
#include <vector>

// Replaces every password in a command's text by "***": each known secret
// wherever it appears, and the value after any word that names a password
// (rcon_password, sv_password, serverpassword, ...), quoted or not.
std::string MaskPasswords(const std::string& text, const std::vector<std::string>& secrets);
