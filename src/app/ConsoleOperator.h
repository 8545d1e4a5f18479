#pragma once

#include "core/Operator.h"

// The operator seam without a screen: messages go to standard error, every
// question is answered No and every dialog Cancel.
class ConsoleOperator : public Operator
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
};
