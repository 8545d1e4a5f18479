#include "park/ScheduleRule.h"

#include <QDateTime>
#include <algorithm>
#include <sstream>

std::optional<std::string> ruleRefusal(const ScheduleRule& rule)
{
    if (rule.kind == ScheduleRule::Kind::Every &&
        (rule.everyMinutes < 1 || rule.everyMinutes > ScheduleRule::kMaxEveryMinutes))
        return "A schedule repeats every 1 to 10080 minutes.";
    if (rule.kind != ScheduleRule::Kind::MatchEnd && rule.at <= 0)
        return "A schedule needs the time of its run.";
    if (rule.kind == ScheduleRule::Kind::MatchEnd && !rule.warnMinutes.empty())
        return "The end of a match comes without notice: it cannot be warned of.";
    if (rule.warnMinutes.size() > ScheduleRule::kMaxWarnings)
        return "A schedule warns at most 4 times.";
    for (const int minutes : rule.warnMinutes) {
        if (minutes < 1 || minutes > ScheduleRule::kMaxWarnMinutes)
            return "A warning comes 1 to 1440 minutes before the run.";
        if (rule.kind == ScheduleRule::Kind::Every && minutes >= rule.everyMinutes)
            return "A warning must come after the run before it.";
    }
    return std::nullopt;
}

std::string describeRule(const ScheduleRule& rule)
{
    std::string text;
    switch (rule.kind) {
    case ScheduleRule::Kind::At:
        text = "at " +
               QDateTime::fromSecsSinceEpoch(rule.at, Qt::UTC)
                   .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                   .toStdString() +
               " UTC";
        break;
    case ScheduleRule::Kind::Every:
        text = "every " + std::to_string(rule.everyMinutes) + " min";
        break;
    case ScheduleRule::Kind::MatchEnd:
        return "when the match ends";
    }
    for (std::size_t i = 0; i < rule.warnMinutes.size(); ++i)
        text += (i == 0                             ? ", warns "
                 : i + 1 == rule.warnMinutes.size() ? " and "
                                                    : ", ") +
                std::to_string(rule.warnMinutes[i]);
    if (!rule.warnMinutes.empty())
        text += " min before";
    return text;
}

std::string encodeRule(const ScheduleRule& rule)
{
    std::string text;
    switch (rule.kind) {
    case ScheduleRule::Kind::At:
        text = "at " + std::to_string(rule.at);
        break;
    case ScheduleRule::Kind::Every:
        text = "every " + std::to_string(rule.everyMinutes) + " from " + std::to_string(rule.at);
        break;
    case ScheduleRule::Kind::MatchEnd:
        text = "match-end";
        break;
    }
    for (std::size_t i = 0; i < rule.warnMinutes.size(); ++i)
        text += (i == 0 ? " warn " : ",") + std::to_string(rule.warnMinutes[i]);
    return text;
}

std::optional<ScheduleRule> decodeRule(const std::string& text)
{
    if (text.size() > 200)
        return std::nullopt;
    std::istringstream in(text);
    std::string word;
    ScheduleRule rule;
    in >> word;
    if (word == "at") {
        if (!(in >> rule.at))
            return std::nullopt;
    } else if (word == "every") {
        std::string from;
        rule.kind = ScheduleRule::Kind::Every;
        if (!(in >> rule.everyMinutes >> from >> rule.at) || from != "from")
            return std::nullopt;
    } else if (word == "match-end") {
        rule.kind = ScheduleRule::Kind::MatchEnd;
    } else {
        return std::nullopt;
    }
    if (in >> word) {
        std::string list;
        if (word != "warn" || !(in >> list))
            return std::nullopt;
        std::istringstream items(list);
        std::string item;
        while (std::getline(items, item, ',')) {
            if (item.empty() || item.size() > 5 || item.find_first_not_of("0123456789") != std::string::npos)
                return std::nullopt;
            rule.warnMinutes.push_back(std::stoi(item));
        }
    }
    if (in >> word || ruleRefusal(rule))
        return std::nullopt;
    return rule;
}
