#pragma once

#include <optional>
#include <string>

// The folder a proxy writes its demos to: "ftp://HOST[:PORT]/PATH/" or
// "sftp://HOST[:PORT]/PATH/". Credentials never stand in the URL: they come
// from ~/.netrc, so that no password is typed into a field or a command line.
struct RemoteFolder
{
    std::string scheme; // "ftp" or "sftp"
    std::string host;   // as written (an IPv6 address without brackets)
    int port = 0;       // 0: the scheme's own
    std::string path;   // from the login directory, "/" at both ends

    // The folder of an operator's text, or nullopt with the reason.
    static std::optional<RemoteFolder> Parse(const std::string& text, std::string& error);
    // "scheme://host:port" (the key by which downloads are kept one per host).
    std::string HostKey() const;
    // The URL of the folder itself, or of a file named name in it (encoded).
    std::string Url(const std::string& name = {}) const;
};
