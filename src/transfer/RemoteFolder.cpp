#include "transfer/RemoteFolder.h"

#include <curl/curl.h>

#include <memory>

namespace {

struct UrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string part(CURLU* url, CURLUPart which, unsigned flags = 0)
{
    char* text = nullptr;
    if (curl_url_get(url, which, &text, flags) != CURLUE_OK || !text)
        return {};
    std::string value = text;
    curl_free(text);
    return value;
}

// Every byte but the unreserved ones (and '/' where a path keeps its parts).
std::string percentEncoded(const std::string& text, bool keepSlash)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || (keepSlash && c == '/');
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace

std::optional<RemoteFolder> RemoteFolder::Parse(const std::string& text, std::string& error)
{
    if (text.size() > 2000 || text.find_first_of(std::string("\r\n\0 \t", 5)) != std::string::npos) {
        error = "a folder URL holds no blanks or line breaks";
        return std::nullopt;
    }
    const std::size_t afterScheme = text.find("://");
    if (afterScheme == std::string::npos || afterScheme + 3 >= text.size() || text[afterScheme + 3] == '/') {
        error = "not a URL: write ftp://HOST[:PORT]/PATH/ or sftp://HOST/PATH/";
        return std::nullopt;
    }
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) {
        error = "not a URL: write ftp://HOST[:PORT]/PATH/ or sftp://HOST/PATH/";
        return std::nullopt;
    }
    RemoteFolder folder;
    folder.scheme = part(url.get(), CURLUPART_SCHEME);
    if (folder.scheme != "ftp" && folder.scheme != "sftp") {
        error = "only ftp:// and sftp:// folders can be collected from";
        return std::nullopt;
    }
    if (!part(url.get(), CURLUPART_USER).empty() || !part(url.get(), CURLUPART_PASSWORD).empty()) {
        error = "no user or password in the URL: they are read from ~/.netrc";
        return std::nullopt;
    }
    if (!part(url.get(), CURLUPART_QUERY).empty() || !part(url.get(), CURLUPART_FRAGMENT).empty()) {
        error = "a folder URL has no '?' or '#' part";
        return std::nullopt;
    }
    folder.host = part(url.get(), CURLUPART_HOST);
    if (folder.host.size() > 2 && folder.host.front() == '[')
        folder.host = folder.host.substr(1, folder.host.size() - 2);
    if (folder.host.empty()) {
        error = "the URL names no host";
        return std::nullopt;
    }
    const std::string port = part(url.get(), CURLUPART_PORT);
    folder.port = port.empty() ? 0 : std::stoi(port);
    folder.path = part(url.get(), CURLUPART_PATH, CURLU_URLDECODE);
    if (folder.path.empty() || folder.path.front() != '/')
        folder.path.insert(folder.path.begin(), '/');
    if (folder.path.back() != '/')
        folder.path += '/';
    if (folder.path.find('\0') != std::string::npos) {
        error = "the folder path holds a NUL byte";
        return std::nullopt;
    }
    return folder;
}

std::string RemoteFolder::HostKey() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return scheme + "://" + (v6 ? "[" + host + "]" : host) + (port ? ":" + std::to_string(port) : "");
}

std::string RemoteFolder::Url(const std::string& name) const
{
    return HostKey() + percentEncoded(path, true) + percentEncoded(name, false);
}
