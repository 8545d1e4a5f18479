#pragma once

#include <QDockWidget>
#include <QTimer>

class CQuorvaneDoc;
class CQuorvaneView;
class MachinesModel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

// View, Machines: every object of the layout in one sortable table with a
// filter field, beside the canvas. It follows the document a twentieth of
// the objects at a time (twenty steps a second) while it is shown; a click
// on a row picks the object on the canvas and scrolls to it.
class MachinesDock : public QDockWidget
{
    Q_OBJECT

public:
    static constexpr int kSlices = 20;

    MachinesDock(CQuorvaneDoc& document, CQuorvaneView& view, QWidget* parent = nullptr);

    MachinesModel& model() const { return *m_model; }
    QSortFilterProxyModel& sorted() const { return *m_sorted; }
    QTableView* table() const { return m_table; }
    QLineEdit* filterEdit() const { return m_filter; }

    // One step of the sweep: a twentieth of the rows, then a repaint of the
    // rows in sight (their reply ages move every second).
    void Step();
    // Picks the object of a row of the table (as sorted and filtered).
    void PickRow(int tableRow);

private:
    void OnDocumentUpdate(int hint);

    CQuorvaneDoc& m_document;
    CQuorvaneView& m_view;
    MachinesModel* m_model;
    QSortFilterProxyModel* m_sorted;
    QTableView* m_table;
    QLineEdit* m_filter;
    QTimer m_sweep;
    int m_slice = 0;
};
