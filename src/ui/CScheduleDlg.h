#pragma once

#include "park/Schedules.h"

#include <QDialog>
#include <string>
#include <vector>

class CQuorvaneDoc;
class ScheduleRunner;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QSpinBox;

// "Schedule...": a command or a preset for the picked machines, at a time,
// in N minutes, every N minutes or when the running match ends, with
// warnings said N minutes before. The dialog only collects the choice; the
// runner checks it and says why it cannot run, shown here in the dialog.
class CScheduleDlg : public QDialog
{
    Q_OBJECT

public:
    enum RuleChoice
    {
        AtTime,
        InMinutes,
        EveryMinutes,
        WhenMatchEnds,
    };

    CScheduleDlg(CQuorvaneDoc& document, ScheduleRunner& runner, std::vector<std::string> machines,
                 QWidget* parent = nullptr);

    // The schedule as filled in, at `now`; the reason when the warnings are not numbers.
    std::optional<Schedule> schedule(std::int64_t now, QString& error) const;
    // Adds it to the runner; false (the reason shown) when it cannot run.
    bool addSchedule();

    QLineEdit* commandEdit() const { return m_command; }
    QComboBox* presetCombo() const { return m_preset; }
    QComboBox* ruleCombo() const { return m_rule; }
    QDateTimeEdit* atEdit() const { return m_at; }
    QSpinBox* minutesSpin() const { return m_minutes; }
    QLineEdit* warningsEdit() const { return m_warnings; }
    QLabel* errorLabel() const { return m_error; }

private:
    void updateFields();

    CQuorvaneDoc& m_document;
    ScheduleRunner& m_runner;
    std::vector<std::string> m_machines;
    QLineEdit* m_command;
    QComboBox* m_preset;
    QComboBox* m_rule;
    QDateTimeEdit* m_at;
    QSpinBox* m_minutes;
    QLineEdit* m_warnings;
    QLabel* m_error;
};
