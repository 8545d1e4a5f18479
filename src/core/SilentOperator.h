#pragma once

#include "core/Clock.h"
#include "core/CoreContext.h"
#include "core/Operator.h"
#include "core/RandomSource.h"

#include <string>
#include <vector>

// An operator nobody sits at: messages are kept, every question and dialog
// is refused. For the programs that drive the core without a person
// (benchmarks, fuzz targets).
class SilentOperator : public Operator
{
public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool askYesNo(const std::string&) override { return false; }
    std::optional<std::string> promptLine(const std::string&, const std::string&) override { return {}; }
    std::optional<AddZoneAnswer> askAddZone(const AddZoneRequest&) override { return {}; }
    std::optional<AddGroupAnswer> askAddGroup(const AddGroupRequest&) override { return {}; }
    std::optional<ObjectDialogValues> askObject(const ObjectDialogRequest&) override { return {}; }
    std::optional<RangeDialogAnswer> askRange(const RangeDialogRequest&) override { return {}; }
    std::optional<AutoWebValues> askAutoWeb(const AutoWebValues&) override { return {}; }
    std::optional<bool> askAdminBot(bool) override { return {}; }

    std::vector<std::string> messages;
};

// A clock that only moves when told, a seeded random source and the silent
// operator, as the context the core is given.
struct SilentContext
{
    ManualClock clock;
    RandomSource random{2003};
    SilentOperator op;

    CoreContext context() { return CoreContext{&clock, &random, &op}; }
};
