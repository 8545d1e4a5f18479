#pragma once

#include "core/CoreContext.h"
#include "core/Operator.h"
#include "feeds/LiveFeeds.h"
#include "feeds/StreamWatch.h"
#include "layout/CGroup.h"
#include "layout/CZone.h"
#include "layout/DownWatch.h"
#include "layout/LedgerFeed.h"
#include "layout/OperatorTrail.h"
#include "modules/CModule.h"
#include "modules/CModuleAutoWeb.h"
#include "modules/DemoCollector.h"
#include "modules/PageSource.h"
#include "objects/CCommonObject.h"
#include "park/ParkConsole.h"
#include "transfer/CFtpJobManager.h"
#include "transfer/UiThreadReporter.h"

#include <QObject>
#include <QUndoStack>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The one document: zones, groups inside zones and monitored objects inside
// groups, in three owning ordered lists (order = save order, drawing order
// within a level, and what Move Up / Move Down change). It carries the
// layout commands and runs the one-second tick.
class CQuorvaneDoc : public QObject, public PageSource
{
    Q_OBJECT

public:
    // Update hints sent to the views.
    enum Hint : int
    {
        HintAdded = 0,   // something added, an object moved
        HintTick = 13,   // the one-second tick and every pick
        HintLayout = 54, // any other change of the layout or its settings
    };

    template <class T> using OwningList = std::vector<std::unique_ptr<T>>;

    explicit CQuorvaneDoc(const CoreContext& context, QObject* parent = nullptr);
    ~CQuorvaneDoc() override;

    // Builds the default layout: "LAN Local" (groups "Servers", "HLTV Local")
    // and "Internet" (group "HLTV Internet"). The new layout counts as modified.
    bool OnNewDocument();
    // Empties the three lists and forgets both picks.
    void DeleteContents();

    CZone* AddZone(std::string name, std::int32_t level);
    CGroup* AddGroup(std::string name, CZone* zone, std::int32_t level);
    static ColorRef ZoneColorForLevel(std::int32_t level);

    // The first object whose "address:port" equals the key byte for byte.
    CCommonObject* FindObject(const std::string& address, std::int32_t port) const;

    // Object creation: each refuses an address and port that already exist
    // with a message naming the holder's group and zone.
    CCommonObject* AddServer(const std::string& address, std::int32_t port, const std::string& rconPassword,
                             CGroup* group);
    CCommonObject* AddProxy(const std::string& address, std::int32_t port, CGroup* group,
                            const std::string& rconPassword, const std::string& proxyPassword,
                            const std::string& externalAddress, std::int32_t externalPort, bool exportWeb,
                            bool autoRecord);
    // type 0 or 2: a game server, 1: a proxy with its defaults; any other
    // type creates nothing. The rcon password is not applied.
    CCommonObject* AddObject(int type, const std::string& rconPassword, const std::string& address,
                             std::int32_t port, CGroup* group);

    // The port Add Hub Manager proposes.
    static constexpr std::int32_t kHubManagerPort = 27015;

    // A hub manager (Add Hub Manager, the range dialog's "GTV", the command
    // line, layout files), with the same duplicate rule.
    CCommonObject* AddHubManager(const std::string& address, std::int32_t port,
                                 const std::string& rconPassword, CGroup* group);

    // Appends a newly created object, opens its channel, marks the document
    // modified and notifies the views with hint.
    CCommonObject* AddCreatedObject(std::unique_ptr<CCommonObject> object, int hint);

    // Once a second: every object's Tick in list order, the re-link step on
    // every sixth tick, then one hint 13.
    void TickSecond();
    // The same second in slices: slice k of n ticks the k-th n-th part of
    // the list (with its re-link step), and the last slice ends the second
    // (the tick counter, hint 13). A window spreads a large park's polls
    // over the second this way, so that no single pause of the event loop
    // sends thousands of datagrams.
    void TickSlice(int slice, int slices);

    // The re-link step for every object at once, outside the tick: a report
    // taken now shows the links that the last replies name.
    void RelinkAll();

    // Once a second, after the objects: who may stream a log here, and the
    // per-minute player history.
    void UpdateFeeds();
    // Whether the per-minute player history is kept (the window shows it;
    // without a window nothing does, and a large park saves its memory).
    void KeepHistory(bool keep) { m_bKeepHistory = keep; }
    // Asks a game server by rcon to stream its log to the log port (start),
    // or to stop. False with the reason when the port is closed or the
    // machine's address is not known yet. Never done unasked.
    bool StreamLogs(CCommonObject& object, bool start, std::string& error);
    // True when the log port is open and the object is a game server whose
    // rcon password is set, not suspended, and in use.
    bool CanStreamLogs(const CCommonObject& object) const;
    // Asked to stream here (and not to stop since).
    bool StreamWanted(const CCommonObject& object) const { return m_streamWatch.wanted(object.GetName()); }
    // A streaming server whose lines stopped coming while it answered and
    // held players ("log stream lost"), until lines come again.
    bool StreamLost(const CCommonObject& object) const { return m_streamWatch.lost(object.GetName()); }

    // The ledger the document writes to (not owned; null: none). Set once
    // at start, before the first tick.
    void AttachLedger(Ledger* ledger);
    Ledger* ledger() const { return m_pLedger; }
    // The operator sent text to object (or the program did for the operator):
    // kept in the ledger with the first lines that answer it.
    void NoteCommand(const CCommonObject& object, const std::string& text);

    // Demo collection: where demos are kept and what becomes of them.
    void SetDemoSettings(DemoCollector::Settings settings);
    const DemoCollector& demos() const { return m_demoCollector; }
    // Sets where proxy writes its demos and keeps it in the ledger; the
    // reason when the URL is not one collection can use.
    std::optional<std::string> SetDemoFolder(CHLTV& proxy, const std::string& url);
    // The proxy's last collected demo, for its tool tip; empty: none.
    std::string LastCollectedDemo(const CCommonObject& proxy) const;

    // Every 30 seconds: the AutoWeb module builds and queues its page.
    void TickAutoWeb();
    // "Upload Now": the page goes at once to the settings given.
    void UploadAutoWebNow(const CModuleAutoWeb::Target& target);

    // Runs a menu command; false when the id is not one of the document's.
    // The rcon commands it sends are put on the operator's record.
    bool OnCommand(int id);

    // The record of the commands sent for the operator. Whatever sends for
    // him (a menu command, the control panel, a drop) does so inside an
    // OperatorTrail::Act on it, opened after any question is answered: no
    // box may be open while an act lives.
    OperatorTrail& trail() { return m_trail; }

    // A menu command as the window runs it: a deletion asks first, naming
    // what goes; deletions, moves, changes of layer and Properties go on the
    // undo stack. Other commands run as OnCommand runs them.
    bool RunCommand(int id);
    // Deletes the picked object, group or zone after asking; undoable.
    void DeletePicked();
    // The operator dropped dragged on target; undoable for proxies.
    void DropOn(CCommonObject& dragged, CCommonObject& target);
    // The undoable edits; emptied with the document's contents.
    QUndoStack& undoStack() { return m_undoStack; }
    // Undo and Redo as the window runs them: a step that would put an object
    // onto an address another object has taken since is refused with a
    // message, and the stack stays where it is. False when nothing ran.
    bool Undo();
    bool Redo();
    // The first object other than except at address and port.
    CCommonObject* FindOtherObject(const std::string& address, std::int32_t port,
                                   const CCommonObject& except) const;
    // "Cannot undo "Delete 127.0.0.5:27015": ..." naming the holder's group
    // and zone; step is "undo" or "redo", edit the command's text.
    std::string TakenSinceMessage(const std::string& step, const std::string& edit,
                                  const CCommonObject& holder) const;
    // "the game server 10.0.0.5:27015 (name)", "the group "Servers" with 3 objects".
    std::string DescribePick() const;

    void OnAddZone();
    void OnAddGroup();
    void OnDeleteZone();
    void OnIncreaseLayer();
    void OnDecreaseLayer();
    void OnMoveZoneUp();
    void OnMoveZoneDown();
    void OnRenameZone();
    void OnDeleteObject();
    void OnMoveObjectUp();
    void OnMoveObjectDown();
    void OnAddServer();
    void OnAddProxy();
    void OnAddHubManager();
    void OnAddServerRange();
    void OnAddProxyRange();
    void OnServerProperties();
    void OnProxyProperties();
    void OnProxyServerPassword();
    void OnProxySpecPassword();
    void OnProxyProxyPassword();
    void OnProxyRconPassword();
    void OnProxyDisconnect();
    void OnAutoWebSettings();
    void OnAdminBotSettings();

    // Actions on many machines: the extra picks, the last send to many and
    // its results, the presets, the Variables page. Ticked once a second.
    ParkConsole& parkConsole() { return m_parkConsole; }
    const ParkConsole& parkConsole() const { return m_parkConsole; }
    // The machines an action on "the picked machines" goes to, each once,
    // in list order: the picked object, the extra picks, and every machine
    // of a picked zone or group.
    std::vector<CCommonObject*> PickedMachines() const;
    // Sends the commands to every picked machine under rcon (the others are
    // skipped in the results), after asking, naming how many machines, when
    // one would stop or unsettle a server. False when nothing was sent.
    bool SendToPicked(const std::vector<std::string>& commands);
    bool RunPreset(const std::string& name);
    // "changelevel MAP" on the picked game servers; a name that could not
    // stand alone in a command is refused with a message.
    bool ChangeMapOnPicked(const std::string& map);
    // "sv_restart 1" on the picked game servers.
    bool RestartRoundOnPicked();
    // "maps *" to each picked game server under rcon; how many were asked.
    int AskMapsOfPicked();
    // The maps the picked game servers listed, in one sorted list.
    std::vector<std::string> MapsOfPicked() const;
    // "say TEXT" to the picked machines; text that could end the command
    // is refused with a message.
    bool SayToPicked(const std::string& text);
    // NAME "VALUE" to server; refused with a message when unsafe.
    bool SetVariable(CCommonObject& server, const std::string& name, const std::string& value);

    // Bans on the park. A player is banned by SteamID when it names one
    // account, else by IP (then kicked by userid); the scope is the
    // server, its group, its zone or the park. Refused with a message when
    // neither can go into a command. Kept in the ledger; see ParkBans.
    struct BanRequest
    {
        std::string steamId;
        std::string ip; // without the port
        std::string name;
        std::optional<int> userId;
        std::int64_t minutes = 0; // 0: permanent
        std::string reason;
        BanScope::Kind scope = BanScope::Kind::Server;
    };
    bool BanPlayer(CCommonObject& server, const BanRequest& request);
    // "addip" on every game server of the park (an rcon attack's source).
    bool BanAddressOnPark(const std::string& ip, std::int64_t minutes, const std::string& reason);
    bool Unban(const std::string& key);
    const ParkBans& bans() const { return m_parkConsole.bans; }
    const RconAttacks& rconAttacks() const { return m_parkConsole.attacks; }
    // The game servers as the scopes of bans see them.
    std::vector<ParkBans::Member> BanMembers() const;
    // A refused rcon command logged by the server named objectName.
    void NoteRefusedRcon(const std::string& objectName, const std::string& source);

    // "zone/group" of every group, in group order, as the dialogs list them.
    std::vector<std::string> GroupLabels() const;
    static std::string GroupLabel(const CGroup& group);

    // Makes every link to the object about to be deleted forget it.
    void ClearLinksTo(const CCommonObject& object);

    // Picks made in the canvas; both are forgotten when their target goes.
    void SetSelection(CZone* zone, CCommonObject* object);

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true);
    void UpdateAllViews(int hint);
    // A change of the layout: modified, and the views told with hint.
    void MarkChanged(int hint);

    const CoreContext& context() const override { return m_context; }

    // What the status page reads.
    void ForEachProxy(const std::function<void(CHLTV&)>& visit) const override;
    bool AdminBotEnabled() const override { return m_moduleAdminBot.m_bEnabled != 0; }
    CFtpJobManager& UploadQueue() override { return m_ftpJobs; }

    // How many machines are down (answered once, silent now), as of the
    // last whole second.
    int DownCount() const { return m_downWatch.DownCount(); }
    // Down, relay lost and unreachable machines as of the last whole second:
    // the one count behind the title, the status bar and the button.
    const TroubleCount& TroubleNow() const { return m_downWatch.Count(); }

    // The relay chain: whether the proxy is connected again by itself when
    // it lost its upstream, and connecting it now (both for the operator).
    void SetReconnectAuto(CHLTV& proxy, bool on);
    void ReconnectNow(CHLTV& proxy);
    // "Uptime: 99.2 % (24 h), 97.5 % (7 days)" from the ledger's
    // availability rows, read again every kUptimeSeconds; empty when the
    // ledger holds nothing on the object (or there is none).
    std::string UptimeText(const CCommonObject& object) const;
    static constexpr std::int64_t kUptimeSeconds = 300;
    // A relay-lost proxy is connected again after this long, at most once
    // in kHealEverySeconds, while its wanted upstream answers.
    static constexpr std::int64_t kHealAfterSeconds = 20;
    static constexpr std::int64_t kHealEverySeconds = 60;
    // The slices of a second in which the ledger's feed walks the park.
    static constexpr int kLedgerFeedSlices = 4;

    CModuleAdminBot m_moduleAdminBot;
    CFtpJobManager m_ftpJobs;
    // Log events and player history per object; the log port.
    LiveFeeds m_feeds;
    // Which servers stream here, and when to ask them again.
    StreamWatch m_streamWatch;
    CModuleAutoWeb m_moduleAutoWeb;
    CCommonObject* m_pSelectedObject = nullptr;
    CZone* m_pSelectedZone = nullptr;
    std::int32_t m_nTick = 0;
    std::string m_strLastAddress;
    OwningList<CCommonObject> m_objects;
    OwningList<CGroup> m_groups;
    OwningList<CZone> m_zones;

signals:
    void viewsUpdated(int hint);
    void modifiedChanged(bool modified);
    // The number of machines down, relay lost or unreachable changed.
    void troubleChanged(const TroubleCount& count);
    // Machines went down or came back, gathered into one burst.
    void downBurst(const DownWatch::Burst& burst);
    // The AutoWeb module has news (a failed upload, the page back): for the
    // status bar and the console; outageBegins for its one notification.
    void autoWebNotice(const QString& text, bool outageBegins);
    // Demo collection has something to tell: a console line, and one
    // notification when notify (a demo that could not be collected).
    void demoNotice(const QString& text, bool notify);
    // Something the operator must know about one machine (a recording
    // refused or ended during a match, a password refused): the status bar
    // and the console; a notification when notify.
    void machineNotice(const QString& summary, const QString& text, bool notify);
    // A demo file changed state ("waiting", "kept", "published"...).
    void demoChanged(const DemoCollector::FileState& file);
    // More than RconAttacks::kThreshold refused rcon commands in a minute
    // from one address to one server.
    void rconAttack(const RconAttacks::Alert& alert);

private:
    void ChangeLayer(int step);
    void MoveZone(int direction);
    void MoveObject(int direction);
    // Why an object cannot take the address and port typed in its
    // Properties: unusable, or another object's (the duplicate message).
    std::optional<std::string> AddressRefusal(const CCommonObject& object, const std::string& address,
                                              std::uint32_t port) const;
    // Gives an object an address and port that AddressRefusal accepted.
    void Readdress(CCommonObject& object, const std::string& address, std::int32_t port);
    // The Properties dialog for object; nothing when cancelled or refused.
    std::optional<ObjectDialogValues> AskProperties(CCommonObject& object, ObjectDialogRequest& request);
    // The duplicate test shared by the three creation operations.
    bool RefuseDuplicate(const std::string& address, std::int32_t port);
    // "This Object already exists" with the holder's group and zone.
    static std::string DuplicateMessage(const CCommonObject& holder);
    CGroup* GroupAt(int index) const;
    std::string PreselectedGroupLabel() const;
    // Runs the range dialog and creates one object per address and port.
    void AddRange(bool proxyCommand);
    // Prompts for a password and sends verb "text" to the picked proxy; a
    // password that would break its quotes is refused with a message.
    std::optional<std::string> SendQuotedToProxy(const std::string& prompt, const std::string& verb);
    // Finds the first object, in list order, named by a name (address:port,
    // or a proxy's external address:port). The index of names is built on
    // the first look-up, once per re-link pass, so that a park of thousands
    // is not scanned once for every proxy and hub.
    class NameLookup
    {
    public:
        explicit NameLookup(const CQuorvaneDoc& document) : m_document(document) {}
        CCommonObject* FirstNamed(const std::string& name);

    private:
        const CQuorvaneDoc& m_document;
        std::optional<std::unordered_map<std::string, CCommonObject*>> m_index;
    };
    // Links proxies and hub entries to the objects they relay.
    void RelinkStep(CCommonObject& object, NameLookup& names);
    std::optional<NameLookup> m_relinkNames;
    std::uint64_t m_nRelinkGeneration = 0;

    // Once a second: the down count and the bursts of changes.
    void WatchDown();
    // Once a second: what the proxies' recordings show, to the collector.
    void TickDemos();
    // Once a second: the relay plans kept, relays healed, recordings and
    // passwords watched.
    void TickRelay();
    void KeepRelayPlan(CHLTV& proxy, std::int64_t now);
    void HealRelay(CHLTV& proxy, NameLookup& names, std::int64_t now);
    void WatchRecording(CHLTV& proxy);
    // Once a second: starts or takes the read of the uptimes.
    void TickUptime();
    // Once a second: the bans' sync, and what it tells the ledger.
    void TickBans();
    void RecordBans();
    // Asks again the streaming servers whose rcon came back (a restarted
    // server forgets logaddress) or whose lines stopped coming.
    void WatchStreams();

    CoreContext m_context;
    OperatorTrail m_trail;
    bool m_bModified = false;
    DownWatch m_downWatch;
    QUndoStack m_undoStack;
    std::int64_t m_nHistoryMinute = -1;
    // The minute each slice of the tick last sampled its objects' history.
    std::vector<std::int64_t> m_sliceHistoryMinutes;
    bool m_bKeepHistory = true;
    // The history the ledger kept (by typed address), read off the
    // user-interface thread at the first tick that keeps history, then
    // given to each object as it is in the park.
    void FillHistoryFromLedger();
    // Samples the players of objects [from, to), slice of slices, once a minute.
    void SampleHistory(std::size_t from, std::size_t to, int slice, int slices);
    bool m_bHistoryAsked = false;
    std::future<std::unordered_map<std::string, PlayerHistory::Backfill>> m_historyLoading;
    std::unordered_map<std::string, PlayerHistory::Backfill> m_historyKept;
    // The objects' address generation the log port's senders were last
    // gathered at; none while the port is closed.
    std::optional<std::uint64_t> m_nSourcesGeneration;
    // Hands the FTP worker's messages to the operator on this thread.
    UiThreadReporter m_ftpMessages;
    Ledger* m_pLedger = nullptr;
    std::unique_ptr<LedgerFeed> m_ledgerFeed;
    ParkConsole m_parkConsole;
    // The game servers of a list, for the actions only they take.
    static std::vector<CCommonObject*> GameServersOf(const std::vector<CCommonObject*>& machines);
    // Sends without asking: the questions are behind.
    void SendNow(const std::vector<CCommonObject*>& machines, const std::vector<std::string>& commands);
    // Demos move on a thread of their own, never ahead of or behind a page.
    DemoTransfers m_demoTransfers;
    DemoCollector m_demoCollector;
    // The proxies' demo folders as the ledger keeps them, read off the
    // user-interface thread at start; applied to proxies without one.
    std::future<std::map<std::string, std::string>> m_demoFoldersLoading;
    std::map<std::string, std::string> m_demoFolders;
    // The demos earlier runs published, read likewise: the page lists them again.
    std::future<std::vector<PublishedDemo>> m_publishedLoading;
    std::size_t m_nPublishedChanges = 0;

    // The relay plans the ledger keeps (typed address -> plan), read off the
    // user-interface thread at start, then as last written.
    struct RelayPlan
    {
        std::string upstream;
        bool autoReconnect = true;
    };
    std::future<std::map<std::string, RelayPlan>> m_relayPlansLoading;
    std::map<std::string, RelayPlan> m_relayPlans;
    std::unordered_set<std::string> m_relayAdopted;
    // What was last seen of each proxy's recording, by name.
    struct RecordingSeen
    {
        std::uint64_t refusals = 0;
        std::string file;
    };
    std::unordered_map<std::string, RecordingSeen> m_recordingSeen;
    std::unordered_set<std::string> m_passwordRefused;
    // Typed address -> share up over 24 hours and 7 days.
    std::future<std::map<std::string, std::pair<double, double>>> m_uptimeLoading;
    std::map<std::string, std::pair<double, double>> m_uptime;
    std::int64_t m_uptimeAt = 0;
    // The bans the ledger keeps, read off the user-interface thread at start.
    std::future<std::vector<LedgerBans::Ban>> m_bansLoading;
};
