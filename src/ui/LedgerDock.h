#pragma once

#include "ledger/LedgerBrowser.h"
#include "ledger/LedgerQuery.h"

#include <QDockWidget>
#include <QTimer>
#include <array>
#include <memory>

class CQuorvaneDoc;
class CQuorvaneView;
class LedgerTableModel;
class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;

// View, Ledger: what the ledger keeps, in four lists (matches, players,
// commands, availability) with a filter, a date range, sortable columns
// and CSV export. The look-ups run on the browser's thread; the window
// shows their answers when they come and never waits for the database. A
// double click picks the row's object on the canvas; "Forget Player"
// removes a SteamID or IP from the ledger after asking.
class LedgerDock : public QDockWidget
{
    Q_OBJECT

public:
    // A window list shows at most this many rows, the newest.
    static constexpr int kRowLimit = 5000;
    // Typing in the filter waits this long before asking again.
    static constexpr int kTypingMs = 300;

    LedgerDock(CQuorvaneDoc& document, CQuorvaneView& view, QWidget* parent = nullptr);
    ~LedgerDock() override;

    LedgerQuery::Kind currentKind() const;
    void showKind(LedgerQuery::Kind kind);
    LedgerTableModel& model(LedgerQuery::Kind kind) const;
    QSortFilterProxyModel& sorted(LedgerQuery::Kind kind) const;
    QTableView* table(LedgerQuery::Kind kind) const;
    QLineEdit* filterEdit() const { return m_filter; }
    QCheckBox* fromCheck() const { return m_fromCheck; }
    QCheckBox* untilCheck() const { return m_untilCheck; }
    QDateTimeEdit* fromEdit() const { return m_from; }
    QDateTimeEdit* untilEdit() const { return m_until; }
    QPushButton* forgetButton() const { return m_forget; }
    QLabel* statusLabel() const { return m_status; }

    // Asks the ledger again for the list in sight.
    void Refresh();
    // True while a look-up is out.
    bool busy() const { return m_waiting != 0; }
    // The list in sight as CSV, in its shown order.
    QByteArray CsvBytes() const;
    // Writes CsvBytes() to path whole, or not at all.
    bool ExportCsv(const QString& path, QString& error) const;
    // Picks the object of a row of the list in sight (as sorted) and scrolls to it.
    void PickRow(int tableRow);
    // Asks, then forgets the SteamID or IP of the selected player.
    void ForgetSelectedPlayer();

signals:
    // An answer reached the list in sight (or the ledger could not be read).
    void refreshed();

private:
    struct Tab
    {
        LedgerTableModel* model = nullptr;
        QSortFilterProxyModel* sorted = nullptr;
        QTableView* table = nullptr;
        bool sized = false;
    };

    LedgerQuery::Filter currentFilter() const;
    void OnAnswer(int serial, LedgerQuery::Kind kind, LedgerBrowser::Table table, const QString& error);
    void OnExport();
    void UpdateForget();
    const Tab& tab(LedgerQuery::Kind kind) const { return m_tabs[static_cast<std::size_t>(kind)]; }
    // The selected player's SteamID or IP; empty when none is.
    QString selectedPlayer() const;

    CQuorvaneDoc& m_document;
    CQuorvaneView& m_view;
    std::array<Tab, 4> m_tabs;
    QTabWidget* m_tabWidget;
    QLineEdit* m_filter;
    QCheckBox* m_fromCheck;
    QCheckBox* m_untilCheck;
    QDateTimeEdit* m_from;
    QDateTimeEdit* m_until;
    QPushButton* m_forget;
    QLabel* m_status;
    QTimer m_typing;
    std::unique_ptr<LedgerBrowser> m_browser;
    int m_waiting = 0;
};
