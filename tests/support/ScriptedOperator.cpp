#include "support/ScriptedOperator.h"

namespace {

template <class T> T next(std::deque<T>& queue, T fallback)
{
    if (queue.empty())
        return fallback;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

} // namespace

void ScriptedOperator::showMessage(const std::string& text)
{
    messages.push_back(text);
}

bool ScriptedOperator::askYesNo(const std::string& text)
{
    questions.push_back(text);
    return next(yesNoAnswers, false);
}

std::optional<std::string> ScriptedOperator::promptLine(const std::string& prompt, const std::string& initialValue)
{
    prompts.emplace_back(prompt, initialValue);
    return next(lineAnswers, std::optional<std::string>{});
}

std::optional<AddZoneAnswer> ScriptedOperator::askAddZone(const AddZoneRequest& request)
{
    zoneRequests.push_back(request);
    return next(zoneAnswers, std::optional<AddZoneAnswer>{});
}

std::optional<AddGroupAnswer> ScriptedOperator::askAddGroup(const AddGroupRequest& request)
{
    groupRequests.push_back(request);
    return next(groupAnswers, std::optional<AddGroupAnswer>{});
}

std::optional<ObjectDialogValues> ScriptedOperator::askObject(const ObjectDialogRequest& request)
{
    objectRequests.push_back(request);
    return next(objectAnswers, std::optional<ObjectDialogValues>{});
}

std::optional<RangeDialogAnswer> ScriptedOperator::askRange(const RangeDialogRequest& request)
{
    rangeRequests.push_back(request);
    return next(rangeAnswers, std::optional<RangeDialogAnswer>{});
}

std::optional<AutoWebValues> ScriptedOperator::askAutoWeb(const AutoWebValues& current)
{
    autoWebRequests.push_back(current);
    return next(autoWebAnswers, std::optional<AutoWebValues>{});
}

std::optional<bool> ScriptedOperator::askAdminBot(bool enabled)
{
    adminBotRequests.push_back(enabled);
    return next(adminBotAnswers, std::optional<bool>{});
}
