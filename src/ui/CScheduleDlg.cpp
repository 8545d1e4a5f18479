#include "ui/CScheduleDlg.h"

#include "core/Clock.h"
#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/ScheduleRunner.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

CScheduleDlg::CScheduleDlg(CQuorvaneDoc& document, ScheduleRunner& runner, std::vector<std::string> machines,
                           QWidget* parent)
    : QDialog(parent), m_document(document), m_runner(runner), m_machines(std::move(machines))
{
    setWindowTitle(tr("Schedule"));
    m_command = new QLineEdit(this);
    m_command->setObjectName(QStringLiteral("scheduleCommandEdit"));
    m_command->setMaxLength(static_cast<int>(Schedules::kMaxCommandBytes));
    m_preset = new QComboBox(this);
    m_preset->setObjectName(QStringLiteral("schedulePresetCombo"));
    m_preset->addItem(tr("(the command above)"));
    for (const Preset& preset : m_document.parkConsole().presets.presets())
        m_preset->addItem(decodeText(preset.name));
    m_rule = new QComboBox(this);
    m_rule->setObjectName(QStringLiteral("scheduleRuleCombo"));
    m_rule->addItems(
        {tr("At a time (UTC)"), tr("In N minutes"), tr("Every N minutes"), tr("When the match ends")});
    m_at = new QDateTimeEdit(this);
    m_at->setObjectName(QStringLiteral("scheduleAtEdit"));
    m_at->setTimeSpec(Qt::UTC);
    m_at->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    m_at->setDateTime(QDateTime::fromSecsSinceEpoch(m_document.context().clock->now() + 3600, Qt::UTC));
    m_minutes = new QSpinBox(this);
    m_minutes->setObjectName(QStringLiteral("scheduleMinutesSpin"));
    m_minutes->setRange(1, ScheduleRule::kMaxEveryMinutes);
    m_minutes->setValue(30);
    m_warnings = new QLineEdit(this);
    m_warnings->setObjectName(QStringLiteral("scheduleWarningsEdit"));
    m_warnings->setPlaceholderText(tr("minutes before, e.g. 5, 1"));
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("scheduleErrorLabel"));
    m_error->setTextFormat(Qt::PlainText);
    m_error->setWordWrap(true);

    auto* form = new QFormLayout(this);
    auto* machinesLabel = new QLabel(
        m_machines.size() == 1 ? tr("On 1 machine") : tr("On %1 machines").arg(m_machines.size()), this);
    form->addRow(machinesLabel);
    form->addRow(tr("&Command:"), m_command);
    form->addRow(tr("or &Preset:"), m_preset);
    form->addRow(tr("&Run:"), m_rule);
    form->addRow(tr("&Time:"), m_at);
    form->addRow(tr("&Minutes:"), m_minutes);
    form->addRow(tr("&Warn (say):"), m_warnings);
    form->addRow(m_error);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Add"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (addSchedule())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_rule, &QComboBox::currentIndexChanged, this, &CScheduleDlg::updateFields);
    connect(m_preset, &QComboBox::currentIndexChanged, this, &CScheduleDlg::updateFields);
    updateFields();
}

void CScheduleDlg::updateFields()
{
    const int rule = m_rule->currentIndex();
    m_at->setEnabled(rule == AtTime || rule == EveryMinutes);
    m_minutes->setEnabled(rule == InMinutes || rule == EveryMinutes);
    m_warnings->setEnabled(rule != WhenMatchEnds);
    m_command->setEnabled(m_preset->currentIndex() == 0);
}

std::optional<Schedule> CScheduleDlg::schedule(std::int64_t now, QString& error) const
{
    Schedule schedule;
    schedule.machines = m_machines;
    if (m_preset->currentIndex() > 0)
        schedule.preset = encodeTyped(m_preset->currentText());
    else
        schedule.command = encodeTyped(m_command->text().trimmed());
    const std::int64_t at = m_at->dateTime().toSecsSinceEpoch();
    switch (m_rule->currentIndex()) {
    case AtTime:
        schedule.rule.at = at;
        break;
    case InMinutes:
        schedule.rule.at = now + std::int64_t{m_minutes->value()} * 60;
        break;
    case EveryMinutes:
        schedule.rule.kind = ScheduleRule::Kind::Every;
        schedule.rule.everyMinutes = m_minutes->value();
        schedule.rule.at = std::max(at, now);
        break;
    default:
        schedule.rule.kind = ScheduleRule::Kind::MatchEnd;
        break;
    }
    if (m_rule->currentIndex() == WhenMatchEnds)
        return schedule;
    for (const QString& item : m_warnings->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int minutes = item.trimmed().toInt(&ok);
        if (!ok) {
            error = tr("The warnings are minutes, separated by commas: 5, 1");
            return std::nullopt;
        }
        schedule.rule.warnMinutes.push_back(minutes);
    }
    return schedule;
}

bool CScheduleDlg::addSchedule()
{
    QString error;
    std::optional<Schedule> made = schedule(m_document.context().clock->now(), error);
    if (made) {
        if (const auto refusal = m_runner.Add(std::move(*made)))
            error = QString::fromStdString(*refusal);
        else
            return true;
    }
    m_error->setText(error);
    return false;
}
