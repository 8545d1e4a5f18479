#pragma once

#include <QDockWidget>
#include <cstdint>

class CQuorvaneDoc;
class ScheduleRunner;
class QPushButton;
class QTableWidget;

// View, Schedules: every schedule with its command, machines, rule, next
// run and last result; Add... schedules for the picked machines, Delete
// removes the selected ones. Redrawn only when the schedules change.
class ScheduleDock : public QDockWidget
{
    Q_OBJECT

public:
    enum Column
    {
        CommandColumn,
        MachinesColumn,
        RuleColumn,
        NextRunColumn,
        LastResultColumn,
        ColumnCount,
    };

    ScheduleDock(CQuorvaneDoc& document, ScheduleRunner& runner, QWidget* parent = nullptr);

    void refresh();
    // Opens the dialog for the picked machines; false when none is picked.
    bool addForPicked();
    // Removes the schedules of the selected rows.
    void deleteSelected();

    QTableWidget* table() const { return m_table; }

private:
    CQuorvaneDoc& m_document;
    ScheduleRunner& m_runner;
    QTableWidget* m_table;
    QPushButton* m_add;
    QPushButton* m_delete;
};
