#pragma once

#include "objects/CCommonObject.h"

#include <array>

// One hub of a hub manager: the match it relays (its parent) and the
// player whose point of view it follows.
class CHubInfo
{
public:
    std::int32_t m_nFollowing = -1; // slot of the followed player, -1 for none
    std::string m_strDesc;
    std::string m_strParent; // "address:port" of the relayed server
    std::int32_t m_nHubNum = 0;
    std::array<std::string, CCommonObject::kMaxPlayers> m_strNames;
    std::array<std::int32_t, CCommonObject::kMaxPlayers> m_nSlots{};
    std::int32_t m_nCount = 0;
    Rect m_rcRow;                       // the hub's row in the box, set by Draw
    CCommonObject* m_pLinked = nullptr; // the object named by m_strParent, not owned

    // The followed player's name, or nullptr when the hub follows nobody
    // listed.
    const std::string* FollowedName() const;
};

// A GTV hub manager: polled with its own queries, its hubs drawn as rows in
// its box; a hub is picked with a click and made to follow another player.
class CGTV : public CCommonObject
{
public:
    static constexpr int kMaxHubs = 32;

    explicit CGTV(const CoreContext& context);

    bool IsHubManager() const override;
    void DrawLinks(QPainter& painter) override;
    void DropOn(CCommonObject* target) override;
    bool CanDrag() const override;
    QSize GetBoxSize() const override;
    void Draw(QPainter& painter) override;
    void OnReply(std::string_view datagram) override;
    void Tick() override;
    void SetStatus(CSStatus status) override;
    bool CanRecord() const override;
    bool IsGameServer() const override;
    int GetPlayerCount() const override;
    const PlayerNames& GetPlayerNames() const override;
    // rcon without a challenge: FF FF FF FF rcon "password" command 00.
    void SendCommand(std::string command) override;
    void OnClick(QPoint point) override;
    void Place(const Rect& box) override;
    void ChangePOV(std::string name) override;
    // Also probes again at once when the manager answers: its probe is
    // otherwise only sent when it comes back from a timeout.
    void SetRconPassword(std::string password) override;

    void RequestManagerInfo();
    void RequestHubInfo(std::int32_t hubNumber);

    CHubInfo* m_pSelectedHub = nullptr;
    std::int32_t m_nHubs = 0;
    std::array<CHubInfo, kMaxHubs> m_hubs;
    std::int32_t m_nSvMaxClients = 0;
    std::int32_t m_nSvClients = 0;

private:
    void OnManagerInfo(std::string_view text);
    void OnHubInfo(std::string_view text);
    void OnPrint(std::string_view text);
    void DrawHubRow(QPainter& painter, CHubInfo& hub);
    void PlaceRows();
};
