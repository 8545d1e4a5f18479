#pragma once

#include <QTableWidget>
#include <optional>
#include <string>
#include <vector>

// One player as the table shows it: the players reply gives name, frags and
// time; a server's rcon status adds user id, SteamID, ping and address.
struct PlayerRow
{
    std::string name; // wire bytes
    std::optional<int> frags;
    std::optional<int> seconds;
    std::optional<int> userId;
    std::string steamId;
    std::optional<int> ping;
    std::string address;
};

// The player list of the control panel: sortable by any column, and the
// selection stays on the same players when the rows change (a kick, a
// player joining, a new sort), not on the same row numbers.
class PlayerTable : public QTableWidget
{
    Q_OBJECT

public:
    enum Column
    {
        NameColumn,
        FragsColumn,
        TimeColumn,
        UserIdColumn,
        SteamIdColumn,
        PingColumn,
        AddressColumn,
        ColumnCount
    };

    explicit PlayerTable(QWidget* parent = nullptr);

    // Shows rows; the status columns only when a row has them.
    void setPlayers(const std::vector<PlayerRow>& rows);
    // The selected players, top row first.
    std::vector<PlayerRow> selectedPlayers() const;
    // The player of a table row (in the order shown).
    PlayerRow playerAt(int row) const;
    // Selects the row of the player named name; false when none is.
    bool selectPlayer(const std::string& name);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Name, frags, SteamID and ping always fit the width: the name column
    // takes what is left (names elided), and on a narrow table the address,
    // user id and time give way, in that order.
    void fitColumns();

    bool m_withStatus = false;
    std::vector<PlayerRow> m_rows; // in arrival order; each table row keeps its index
};
