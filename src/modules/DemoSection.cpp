#include "modules/DemoSection.h"

#include "core/HtmlEscape.h"
#include "core/TextTokens.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace DemoSection {

namespace {

void replaceAll(std::string& text, const std::string& tag, const std::string& value)
{
    for (std::size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + value.size()))
        text.replace(at, tag.size(), value);
}

std::string dateText(std::int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

} // namespace

std::string SizeText(std::int64_t bytes)
{
    char text[32] = {};
    if (bytes >= 1000 * 1000)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    else if (bytes >= 1000)
        std::snprintf(text, sizeof text, "%lld KB", static_cast<long long>(bytes / 1000));
    else
        std::snprintf(text, sizeof text, "%lld B", static_cast<long long>(std::max<std::int64_t>(0, bytes)));
    return text;
}

std::string Take(std::string& rest, std::vector<PublishedDemo> demos)
{
    const std::size_t section = rest.find("[SECTION_DEMOS]");
    const std::size_t always = rest.find("[SECTION_ALWAYS]");
    if (section == std::string::npos || (always != std::string::npos && always < section))
        return {};
    CutToken(rest, "[SECTION_DEMOS]");
    std::string out = CutToken(rest, "[SECTION_DEMOS_LOOP]");
    const std::string row = CutToken(rest, "[/SECTION_DEMOS_LOOP]");
    // Oldest first as published: of one match's files the later one leads.
    std::reverse(demos.begin(), demos.end());
    std::stable_sort(demos.begin(), demos.end(),
                     [](const PublishedDemo& a, const PublishedDemo& b) { return a.started > b.started; });
    if (demos.size() > kMaxRows)
        demos.resize(kMaxRows);
    for (const PublishedDemo& demo : demos) {
        std::string line = row;
        // Every value is remote text or derived from it: escaped, a URL too.
        replaceAll(line, "[#DEMO_URL]", escapeHtml(demo.url));
        replaceAll(line, "[#DEMO_NAME]", escapeHtml(demo.name));
        replaceAll(line, "[#DEMO_DATE]", escapeHtml(dateText(demo.started)));
        replaceAll(line, "[#DEMO_MAP]", escapeHtml(demo.map));
        replaceAll(line, "[#DEMO_TEAMS]", escapeHtml(demo.teams));
        replaceAll(line, "[#DEMO_SCORE]", escapeHtml(demo.score));
        replaceAll(line, "[#DEMO_SIZE]", escapeHtml(SizeText(demo.size)));
        out += line;
    }
    out += CutToken(rest, "[/SECTION_DEMOS]");
    return out;
}

} // namespace DemoSection
