#pragma once

#include "core/Operator.h"

#include <deque>
#include <string>
#include <vector>

// The operator seam for tests: answers come from queues the test fills,
// and every message, question and prompt is recorded. An unscripted question
// is answered as Cancel / No.
class ScriptedOperator : public Operator
{
public:
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> promptLine(const std::string& prompt, const std::string& initialValue) override;
    std::optional<AddZoneAnswer> askAddZone(const AddZoneRequest& request) override;
    std::optional<AddGroupAnswer> askAddGroup(const AddGroupRequest& request) override;
    std::optional<ObjectDialogValues> askObject(const ObjectDialogRequest& request) override;
    std::optional<RangeDialogAnswer> askRange(const RangeDialogRequest& request) override;
    std::optional<AutoWebValues> askAutoWeb(const AutoWebValues& current) override;
    std::optional<bool> askAdminBot(bool enabled) override;

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::pair<std::string, std::string>> prompts; // prompt, initial value
    std::vector<AddZoneRequest> zoneRequests;
    std::vector<AddGroupRequest> groupRequests;
    std::vector<ObjectDialogRequest> objectRequests;
    std::vector<RangeDialogRequest> rangeRequests;
    std::vector<AutoWebValues> autoWebRequests;
    std::vector<bool> adminBotRequests;

    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> lineAnswers;
    std::deque<std::optional<AddZoneAnswer>> zoneAnswers;
    std::deque<std::optional<AddGroupAnswer>> groupAnswers;
    std::deque<std::optional<ObjectDialogValues>> objectAnswers;
    std::deque<std::optional<RangeDialogAnswer>> rangeAnswers;
    std::deque<std::optional<AutoWebValues>> autoWebAnswers;
    std::deque<std::optional<bool>> adminBotAnswers;
};
