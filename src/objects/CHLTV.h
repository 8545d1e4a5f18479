#pragma once

#include "objects/CHLServer.h"

// One HLTV proxy: polled like a game server, it reads the proxy's "status"
// text, relays a game server or another proxy (m_pLinked), connects where it
// is dropped and can record every match of the server it relays.
class CHLTV : public CHLServer
{
public:
    explicit CHLTV(const CoreContext& context);

    bool IsNamed(const std::string& name) const override;
    void DrawLinks(QPainter& painter) override;
    void DropOn(CCommonObject* target) override;
    bool CanDrag() const override;
    void Draw(QPainter& painter) override;
    void OnReply(std::string_view datagram) override;
    void RunPollPhase(int phase) override;
    bool CanRecord() const override;
    bool IsGameServer() const override;
    bool IsRelayLost() const override;
    void SendCommand(std::string command) override;

    // "address:port" under which other zones reach the proxy.
    virtual std::string GetExternalName() const;
    // Sends "serverpassword <password>" unless the password is empty.
    virtual void SetServerPassword(const std::string& password);
    // The demo name for a recording that starts now.
    virtual std::string MakeAutoDemoName();

    // The recording step: starts a demo when the relayed server's match
    // runs and the proxy does not record, stops it when the match is over.
    void CheckAutoRecord();
    // The game server at the end of the chain of proxies this one relays;
    // null when the chain ends without one, loops, or reaches another kind.
    CHLServer* GetRelayedServer();

    // The relay chain. Reconnect sends "connect" to target (the wanted
    // upstream) again, with its server password, and says so in the console.
    void Reconnect(CCommonObject& target);
    // The operator disconnected the proxy: it wants no upstream any more.
    void ForgetUpstream();
    // Its status was read (and names no upstream: there is nothing to record).
    bool StatusRead() const { return m_bStatusRead; }
    bool RelaysNothing() const;
    // Seconds the proxy has said it relays nothing while it wants an upstream
    // (0 while it relays).
    std::int64_t NotConnectedSeconds() const;
    // A refusal the proxy printed in answer to "record" and how many there
    // were so far, so that each is reported once.
    const std::string& RecordRefusal() const { return m_strRecordRefusal; }
    std::uint64_t RecordRefusals() const { return m_nRecordRefusals; }
    // The operator or the program asked for the recording to stop within the
    // last minute: its end is no surprise.
    bool StopAsked() const;

    std::int64_t m_timeRelink = 0;
    bool m_bAutoRecord = false;
    bool m_bExportWeb = true;
    std::int32_t m_nExternalPort = 0;
    std::string m_strExternalAddress;
    std::string m_strProxyPassword;
    CCommonObject* m_pLinked = nullptr;
    std::string m_strLinkedAddress;
    // When the proxy began relaying the upstream it reports now (0: it
    // reports none).
    std::int64_t m_timeRelayingSince = 0;
    std::int32_t m_nMaxClients = 0;
    std::int32_t m_nClients = 0;
    float m_fOutRate = -1.0f;
    std::string m_strRecordFile;
    // The folder it writes its demos to, "ftp://HOST[:PORT]/PATH/"; empty:
    // its demos are not collected. Kept in the ledger, never in the layout.
    std::string m_strDemoFolder;
    // The machine the proxy should relay: the one it was dropped on, else
    // the last one it relayed ("address:port" as it names it); empty: none.
    // Kept in the ledger with m_bReconnectAuto, never in the layout.
    std::string m_strWantedUpstream;
    bool m_bReconnectAuto = true;
    // When its status first said it relays nothing while it wants an
    // upstream (0: it relays, or wants none).
    std::int64_t m_timeNotConnectedSince = 0;
    std::int64_t m_timeLastReconnect = 0;
    // When the current recording was first seen (0: none).
    std::int64_t m_timeRecordingSince = 0;

private:
    // "connect <address>", unless the address could end the command.
    void SendConnect(const std::string& address);
    void OnStatusText(std::string_view datagram);

    // The chain end that was reported as an internal error, so that the
    // message is shown once and not every six seconds.
    const CCommonObject* m_pReportedChainEnd = nullptr;
    bool m_bStatusRead = false;
    std::int64_t m_timeRecordSent = -1000;
    std::int64_t m_timeStopSent = -1000;
    std::string m_strRecordRefusal;
    std::uint64_t m_nRecordRefusals = 0;
};
