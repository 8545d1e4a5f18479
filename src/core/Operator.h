#pragma once

#include <cstdint>
#include <functional>
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

// The one-object dialog ("Add one object"), also used to edit an object.
struct ObjectDialogValues
{
    std::string address;
    std::uint32_t port = 0;
    int groupIndex = -1; // index into the request's groupLabels
    std::string rconPassword;
    std::string proxyPassword;
    bool useExternalAddress = false;
    std::string externalAddress;
    std::uint32_t externalPort = 0;
    bool exportWeb = false;
    bool autoRecord = false;
};
struct ObjectDialogRequest
{
    ObjectDialogValues values;
    // "zone/group" of every group, in the document's group order.
    std::vector<std::string> groupLabels;
    // The entry to preselect by prefix search; empty selects nothing.
    std::string preselectLabel;
    bool propertiesMode = false;
    // Properties mode: the edited object's kind and name, for the title
    // ("HLTV proxy 10.0.0.5:27020").
    std::string editedObject;
    bool serverMode = false;
    bool autoRecordEnabled = false; // the AdminBot module is on
    // Properties mode: why the address and port on OK cannot be the edited
    // object's (another object has them, or they are unusable); nothing
    // when they can. A refusal is shown and keeps the dialog open, so that
    // no other field is taken without the address.
    using RefuseAddress = std::function<std::optional<std::string>(const std::string& address, std::uint32_t port)>;
    RefuseAddress refuseAddress;
};

// The kinds the range dialog offers (its list shows them sorted by name).
enum RangeObjectType : int
{
    RangeTypeHLTV = 0,
    RangeTypeServer = 1,
    RangeTypeGTV = 2,
};

// The range dialog ("Add a range of object"). Validation happens in the
// dialog (see validateRange); an answer is always a valid range.
struct RangeDialogRequest
{
    std::string presetAddress; // dotted IPv4 preset in both address fields, or empty
    std::vector<std::string> groupLabels;
    std::string preselectLabel;
    std::uint32_t firstPort = 0;
    std::uint32_t lastPort = 0;
    int typeIndex = 0; // a RangeObjectType
};
struct RangeDialogAnswer
{
    std::string prefix; // "%d.%d.%d." of the first three bytes
    int firstByte = 0;
    int lastByte = 0;
    std::uint32_t firstPort = 0;
    std::uint32_t lastPort = 0;
    int groupIndex = -1;
    int typeIndex = 0; // a RangeObjectType
    std::string rconPassword;
};

// The AutoWeb settings dialog ("AutoWeb Config").
struct AutoWebValues
{
    bool enabled = false;
    std::string ftpServer;
    std::string login;
    std::string password;
    std::string remoteFile;
    std::int32_t updateInterval = 45;
    // Set by the document, read while the dialog is open: the last upload's
    // time and result, and "Upload Now" with the values as they stand.
    std::function<std::string()> lastUpload;
    std::function<void(const AutoWebValues&)> uploadNow;
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
    virtual std::optional<ObjectDialogValues> askObject(const ObjectDialogRequest& request) = 0;
    virtual std::optional<RangeDialogAnswer> askRange(const RangeDialogRequest& request) = 0;
    virtual std::optional<AutoWebValues> askAutoWeb(const AutoWebValues& current) = 0;
    // The AdminBot module's switch; nullopt on Cancel.
    virtual std::optional<bool> askAdminBot(bool enabled) = 0;
};
