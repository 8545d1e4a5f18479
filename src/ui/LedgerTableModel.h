#pragma once

#include "ledger/LedgerBrowser.h"
#include "ledger/LedgerQuery.h"

#include <QAbstractTableModel>
#include <QString>
#include <vector>

// One list of the ledger window as a table. The texts come from remote
// machines and players: they are shown as plain text only (control
// characters and line breaks made visible, tool tips escaped).
class LedgerTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role
    {
        SortRole = Qt::UserRole + 1, // times and numbers as numbers, texts folded
        ExportRole,                  // the cell as CSV writes it (times in UTC, ISO 8601)
    };
    struct Column
    {
        QString key;   // the look-up's column
        QString title; // the header
    };
    // The columns each list shows, in order. A column the look-up does not
    // give stays empty: a new one is added here and filled by its look-up.
    static std::vector<Column> ColumnsFor(LedgerQuery::Kind kind);

    explicit LedgerTableModel(LedgerQuery::Kind kind, QObject* parent = nullptr);

    LedgerQuery::Kind kind() const { return m_kind; }
    void setTable(LedgerBrowser::Table table);
    // Takes out the rows of a player just forgotten, before the ledger says so.
    void removePlayer(const QString& key);

    // The typed address ("server 127.0.0.1:27015") of a row's object; for a
    // player, the server last seen on.
    QString objectOf(int row) const;
    // A player row's SteamID or IP; empty for a player known by name only.
    QString playerOf(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Seconds as "2d 03:04:05" / "03:04:05".
    static QString FormatDuration(qlonglong seconds);
    // Remote text for one line of a table: line breaks shown as " ⏎ ",
    // other control characters dropped, long texts cut.
    static QString OneLine(const QString& text);

private:
    const QVariant& cell(int row, int column) const;
    bool isTime(int column) const;

    LedgerQuery::Kind m_kind;
    std::vector<Column> m_columns;
    LedgerBrowser::Table m_table;
    std::vector<int> m_source; // the look-up's column of each shown column; -1: none
    std::vector<int> m_rows;   // rows of m_table shown
};
