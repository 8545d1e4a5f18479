#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A demo listed on the status page.
struct PublishedDemo
{
    std::string url;  // where players download it
    std::string name; // the file name
    std::int64_t started = 0;
    std::string map;
    std::string teams; // "A vs B"
    std::string score; // "16:14"
    std::int64_t size = 0;
};

// The page's list of demos: "[SECTION_DEMOS]" head "[SECTION_DEMOS_LOOP]"
// row "[/SECTION_DEMOS_LOOP]" tail "[/SECTION_DEMOS]", a row per demo with
// "[#DEMO_URL]", "[#DEMO_NAME]", "[#DEMO_DATE]", "[#DEMO_MAP]",
// "[#DEMO_TEAMS]", "[#DEMO_SCORE]", "[#DEMO_SIZE]".
namespace DemoSection {

constexpr std::size_t kMaxRows = 50;

// Takes the section off the front of rest when it begins before the next
// "[SECTION_ALWAYS]" and returns it filled in, every value HTML-escaped, the
// newest demos first, at most kMaxRows. Without the section: "" and rest as
// it was.
std::string Take(std::string& rest, std::vector<PublishedDemo> demos);
// "48.2 MB", "512 KB", "900 B".
std::string SizeText(std::int64_t bytes);

} // namespace DemoSection
