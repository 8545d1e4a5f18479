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

private:
    // "connect <address>", unless the address could end the command.
    void SendConnect(const std::string& address);
    void OnStatusText(std::string_view datagram);

    // The chain end that was reported as an internal error, so that the
    // message is shown once and not every six seconds.
    const CCommonObject* m_pReportedChainEnd = nullptr;
};
