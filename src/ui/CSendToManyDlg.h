#pragma once

#include <QDialog>
#include <cstdint>

class CQuorvaneDoc;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// "Send to N machines...": commands typed one a line go to every picked
// machine under rcon, and the results table shows each machine, its state
// and the first lines of its answer as they come. Preset runs, map changes
// and round restarts show their results here too. The dialog only collects
// the commands and shows the document's results.
class CSendToManyDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSendToManyDlg(CQuorvaneDoc& document, QWidget* parent = nullptr);

    void setCommands(const QString& text);
    // Sends what stands in the commands box; false when nothing went.
    bool send();
    // Rebuilds the table when the results changed.
    void refresh();

    QTableWidget* results() const { return m_pResults; }

private:
    CQuorvaneDoc& m_document;
    QLabel* m_pPicked;
    QPlainTextEdit* m_pCommands;
    QPushButton* m_pSend;
    QTableWidget* m_pResults;
    QLabel* m_pSummary;
    std::uint64_t m_shownGeneration = ~std::uint64_t(0);
};
