#pragma once

#include <optional>
#include <string>
#include <vector>

// The one seam through which the core reaches the person at the keyboard:
// messages, questions, one-line prompts and the values of every dialog.
// The windowed program answers with real dialogs, the headless program
// reports on standard error, and tests script the answers.
//
// All texts are UTF-8 or raw bytes from the wire; the implementation decodes
// them for display.

// Add Zone dialog: a name and a level chosen from "1".."5".
struct AddZoneRequest
{
    int presetLevelIndex = 0; // list index preselected; outside 0..4 selects nothing
};
struct AddZoneAnswer
{
    std::string name;
    int levelIndex = -1; // -1 when no level was chosen
};

// Add a Group dialog: a zone from the list, a name and a level.
struct AddGroupRequest
{
    std::vector<std::string> zoneNames; // in the document's zone order
};
struct AddGroupAnswer
{
    int zoneIndex = -1; // index into zoneNames
    std::string name;
    int levelIndex = -1;
};

class Operator
{
public:
    virtual ~Operator() = default;

    // A modal message with an OK button (warning icon, program title).
    virtual void showMessage(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // One-line prompt preset with initialValue; nullopt on Cancel.
    virtual std::optional<std::string> promptLine(const std::string& prompt,
                                                  const std::string& initialValue) = 0;

    virtual std::optional<AddZoneAnswer> askAddZone(const AddZoneRequest& request) = 0;
    virtual std::optional<AddGroupAnswer> askAddGroup(const AddGroupRequest& request) = 0;
};
