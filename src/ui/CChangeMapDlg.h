#pragma once

#include <QDialog>

class CQuorvaneDoc;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Change Map...": the maps the picked game servers list for "maps *"
// (asked when the dialog opens), a filter as one types, and the change
// itself; "Restart round" beside it. The results show in Send to Many.
class CChangeMapDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CChangeMapDlg(CQuorvaneDoc& document, QWidget* parent = nullptr);

    // Shows the maps that arrived so far, through the filter.
    void refresh();
    // Changes the picked servers to the map selected; false when none is.
    bool changeToSelected();
    void setFilter(const QString& text);
    QListWidget* maps() const { return m_pMaps; }

signals:
    // A change or restart went out: its results are worth showing.
    void sent();

private:
    CQuorvaneDoc& m_document;
    QLabel* m_pAsked;
    QLineEdit* m_pFilter;
    QListWidget* m_pMaps;
    QPushButton* m_pChange;
    std::vector<std::string> m_shown;
};
