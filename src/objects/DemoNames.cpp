#include "objects/DemoNames.h"

#include <algorithm>
#include <ctime>
#include <string_view>

namespace {

bool isAllowed(char c)
{
    constexpr std::string_view kSigns = "()-_={}@[]!+";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kSigns.find(c) != std::string_view::npos;
}

} // namespace

void SanitizeDemoName(std::string& name)
{
    name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return !isAllowed(c); }), name.end());
}

std::string demoTimeStamp(std::int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d_%Hh%M", &local);
    return text;
}
