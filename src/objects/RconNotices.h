#pragma once

// The console lines an object adds when it stops using its rcon password.
namespace notices {

inline constexpr const char* kBadPassword =
    "Quorvane : Bad rcon_password detected. Internal rcon has been disabled to prevent being banned.";
inline constexpr const char* kReenterPassword = "Quorvane : Please re-enter the good rcon_password";
inline constexpr const char* kBanned =
    "Quorvane : This machine has banned our address. Internal rcon has been "
    "disabled until the rcon_password or the address is changed.";

inline constexpr const char* kBanLifted =
    "Quorvane : The machine accepts our address again: internal rcon resumes.";

inline constexpr const char* kUnusablePassword =
    "Quorvane : The rcon_password holds a double quote, a line break or a NUL byte, which would break every "
    "rcon datagram. Internal rcon has been disabled until the password is changed in Properties.";

} // namespace notices
