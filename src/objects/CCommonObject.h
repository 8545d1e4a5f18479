#pragma once

#include "core/CoreContext.h"
#include "core/Geometry.h"
#include "objects/CConsoleLog.h"
#include "objects/ObjectGroup.h"
#include "objects/ObjectStatus.h"

#include <QColor>
#include <QPoint>
#include <QSize>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CCommonObject;
class CRconSocket;
class QPainter;

// Sees each rcon command an object sends while it is installed (see
// CCommonObject::WatchCommands): whoever acts for the operator installs one
// for the length of the act, so that every command the act causes, however
// deep in an object it is made, can be put on the operator's record.
class CommandWatcher
{
public:
    virtual void CommandSent(CCommonObject& object, const std::string& command) = 0;

protected:
    ~CommandWatcher() = default;
};

// Base of every monitored machine: address and port, rcon password, the
// rcon channel, status, last player list, console log and the box on the
// canvas. The virtual operations below are the whole contract through which
// the document, the canvas, the control panel and the page generator drive
// an object; game servers, proxies and hub managers fill in the protocol.
class CCommonObject
{
public:
    static constexpr int kMaxPlayers = 32;
    using PlayerNames = std::array<std::string, kMaxPlayers>;

    explicit CCommonObject(const CoreContext& context);
    virtual ~CCommonObject();

    CCommonObject(const CCommonObject&) = delete;
    CCommonObject& operator=(const CCommonObject&) = delete;

    // Moves whenever the address an object is reached at or reports may
    // have changed (a channel connected, a machine named a new address, an
    // object went away), so that a table kept by address is rebuilt only
    // then. Objects live on one thread: a plain counter.
    static std::uint64_t AddressGeneration();
    static void AddressChanged();

    // Installs the watcher of the rcon commands sent from now on (null: none)
    // and returns the one it replaces.
    static CommandWatcher* WatchCommands(CommandWatcher* watcher);
    // While one lives no watcher sees anything: what a tick or a reply
    // sends is the program's own, even when it runs inside the event loop
    // of a box opened while the operator acts.
    class UnwatchedScope
    {
    public:
        UnwatchedScope() : m_previous(WatchCommands(nullptr)) {}
        ~UnwatchedScope() { WatchCommands(m_previous); }
        UnwatchedScope(const UnwatchedScope&) = delete;
        UnwatchedScope& operator=(const UnwatchedScope&) = delete;

    private:
        CommandWatcher* m_previous;
    };

    virtual bool IsHubManager() const;
    // True when GetName() equals name byte for byte.
    virtual bool IsNamed(const std::string& name) const;
    virtual void DrawLinks(QPainter& painter);
    // Called when the operator drops this object on target.
    virtual void DropOn(CCommonObject* target);
    virtual void DrawHighlighted(QPainter& painter);
    virtual bool CanDrag() const;
    virtual void DrawPlain(QPainter& painter);
    virtual QSize GetBoxSize() const;
    virtual void Draw(QPainter& painter);
    virtual void MarkReply();
    virtual void OpenChannel();
    // One datagram from the machine, starting with the four 0xFF bytes. The
    // byte after the view is a NUL; nothing past it may be read.
    virtual void OnReply(std::string_view datagram);
    virtual void Tick();
    virtual void SetStatus(CSStatus status);
    virtual bool CanRecord() const;
    virtual bool IsGameServer() const;
    virtual int GetPlayerCount() const;
    virtual const PlayerNames& GetPlayerNames() const;
    virtual void SendCommand(std::string command);
    virtual void OnClick(QPoint point);
    virtual void Kick(std::string name);
    virtual void ChangePOV(std::string name);

    // Puts the object's box on the canvas, with what lies inside it (the icon
    // square, a hub manager's rows), so that links and clicks find them even
    // before the box is first painted.
    virtual void Place(const Rect& box);
    // The 48x48 icon square at the top centre of a box.
    static Rect IconRectFor(const Rect& box);

    // "address:port": the object's key and its label on the canvas.
    std::string GetName() const;

    // Answered once and has fallen silent since: drawn red, counted and
    // announced. A machine that never answered is not down, only unknown.
    bool IsDown() const;
    // Never answered although it was opened or added more than two poll
    // cycles ago: framed and counted, unlike a machine just added.
    static constexpr std::int64_t kUnreachableSeconds = 12;
    bool IsUnreachable() const;
    // A proxy that relayed a machine and relays nothing now.
    virtual bool IsRelayLost() const;
    // The machine refused the rcon password: marked on the box and named in
    // the panel, unlike a machine that was given none.
    bool PasswordRefused() const;

    // A line between two icons: dash-dot 1 pixel when dashed, else solid 4
    // pixels; routed around the other boxes while the canvas's boxes are set.
    static void DrawLink(QPainter& painter, QPoint from, QPoint to, bool dashed);
    // The boxes links are routed around (null: none), set by whoever paints
    // the canvas for the length of its links pass.
    static void SetLinkObstacles(const std::vector<Rect>* boxes);

    CRconSocket* channel() const { return m_pChannel.get(); }
    // Closes the channel: the object sends and hears nothing until
    // OpenChannel.
    void CloseChannel();

    // Rcon suspension: the object keeps its password but sends no rcon
    // (commands, challenge queries, probes) and does not claim control until
    // the operator gives a password again. The reason is a console line,
    // added once; a second suspension for the same reason adds nothing.
    // Returns true when the reason was new.
    bool SuspendRcon(std::string reason);
    bool RconSuspended() const { return m_bRconSuspended; }
    const std::string& RconSuspendReason() const { return m_strSuspendReason; }
    // Stores the password the operator entered (even the same one again) and
    // lifts any suspension.
    virtual void SetRconPassword(std::string password);
    // Moves each time rcon works again after it was lost (the first accepted
    // command, and the first after a time-out, a restart or a lifted ban):
    // what a machine was told over rcon before may have to be told again.
    std::uint64_t RconGains() const { return m_nRconGains; }

    Rect m_rcIcon;
    std::int32_t m_nGroupId = 0;
    CConsoleLog m_log;
    GroupLink m_pGroup;
    std::int32_t m_nPort = 0;
    std::string m_strAddress;
    Rect m_rcBox{0, 0, 48, 48};
    CSStatus m_nStatus = CSStatus_TIMEOUT;
    std::string m_strRconPassword;
    std::string m_strHostname;
    PlayerNames m_strPlayers;
    std::int32_t m_nPlayers = 0;
    std::int64_t m_timeLastReply = 0;
    // When the channel was last opened (the layout opened, the object added
    // or moved to a new address); 0: never.
    std::int64_t m_timeWatchedSince = 0;
    std::int32_t m_nBitmapId = 130;
    std::int32_t m_nPhase = 0;

protected:
    // A password is set and rcon is not suspended.
    bool RconUsable() const { return !m_strRconPassword.empty() && !m_bRconSuspended; }
    // Sends one datagram through the rcon channel; nothing while there is none.
    void SendDatagram(std::string_view datagram);
    // Tells the installed watcher, if any, that command went out.
    void ReportCommand(const std::string& command);
    // Sends a query of the machine's state; its reply comes to OnReply.
    void SendQuery(std::string_view datagram);
    std::int64_t Now() const;
    // Ends a suspension for a ban (the password is kept): the machine
    // accepts us again. A line in the console says so.
    void LiftBanSuspension();
    void CountRconGain() { ++m_nRconGains; }
    // The marks of a refused password, a lost relay, a machine that never
    // answered, at the box's top right corner.
    void DrawTroubleMarks(QPainter& painter);
    // The last host name of a machine that went down, greyed, where the
    // live name stood.
    static QColor DownTextColor();

    CoreContext m_context;

private:
    std::unique_ptr<CRconSocket> m_pChannel;
    bool m_bRconSuspended = false;
    std::string m_strSuspendReason;
    std::uint64_t m_nRconGains = 0;
};
