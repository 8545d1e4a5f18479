#pragma once

#include <QDockWidget>
#include <cstdint>

class CQuorvaneDoc;
class QPushButton;
class QTableWidget;

// View, Bans: the park's bans (target, name, who, when, why, expiry, scope
// and where each server stands) with Unban, and the rcon attacks seen, with
// a one-click ban of the attacking address on the whole park. It shows what
// the document holds and redraws only when that changed.
class BansDock : public QDockWidget
{
    Q_OBJECT

public:
    enum Column
    {
        TargetColumn,
        NameColumn,
        WhoColumn,
        WhenColumn,
        WhyColumn,
        ExpiresColumn,
        ScopeColumn,
        ServersColumn,
        ColumnCount
    };

    explicit BansDock(CQuorvaneDoc& document, QWidget* parent = nullptr);

    QTableWidget* bansTable() const { return m_bans; }
    QTableWidget* attacksTable() const { return m_attacks; }
    QPushButton* unbanButton() const { return m_unban; }
    QPushButton* banAddressButton() const { return m_banAddress; }

    // Shows the document's lists again when they changed.
    void Refresh();
    // Unbans the selected ban (after asking); bans the selected attack's source.
    void UnbanSelected();
    void BanSelectedAddress();

private:
    CQuorvaneDoc& m_document;
    QTableWidget* m_bans;
    QTableWidget* m_attacks;
    QPushButton* m_unban;
    QPushButton* m_banAddress;
    std::uint64_t m_shownGeneration = ~std::uint64_t{0};
    std::uint64_t m_shownAlert = ~std::uint64_t{0};
};
