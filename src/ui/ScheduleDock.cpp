#include "ui/ScheduleDock.h"

#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/ScheduleRunner.h"
#include "ui/CScheduleDlg.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

namespace {

QString timeText(std::int64_t seconds)
{
    return seconds > 0 ? QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                       : QString();
}

} // namespace

ScheduleDock::ScheduleDock(CQuorvaneDoc& document, ScheduleRunner& runner, QWidget* parent)
    : QDockWidget(tr("Schedules"), parent), m_document(document), m_runner(runner)
{
    setObjectName(QStringLiteral("scheduleDock"));
    auto* body = new QWidget(this);
    m_table = new QTableWidget(0, ColumnCount, body);
    m_table->setObjectName(QStringLiteral("scheduleTable"));
    m_table->setHorizontalHeaderLabels(
        {tr("Command"), tr("Machines"), tr("Rule"), tr("Next run (UTC)"), tr("Last result")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_add = new QPushButton(tr("&Add..."), body);
    m_add->setObjectName(QStringLiteral("scheduleAddButton"));
    m_delete = new QPushButton(tr("&Delete"), body);
    m_delete->setObjectName(QStringLiteral("scheduleDeleteButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_delete);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    setWidget(body);
    connect(m_add, &QPushButton::clicked, this, &ScheduleDock::addForPicked);
    connect(m_delete, &QPushButton::clicked, this, &ScheduleDock::deleteSelected);
    connect(&m_runner, &ScheduleRunner::changed, this, &ScheduleDock::refresh);
    refresh();
}

void ScheduleDock::refresh()
{
    const std::vector<Schedule>& schedules = m_runner.schedules().schedules();
    m_table->setRowCount(static_cast<int>(schedules.size()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const Schedule& schedule = schedules[static_cast<std::size_t>(row)];
        QString machines = decodeText(schedule.machines.front());
        if (schedule.machines.size() > 1)
            machines += tr(" and %1 more").arg(schedule.machines.size() - 1);
        // The operator's own texts, shown as plain text.
        const QString texts[ColumnCount] = {
            schedule.preset.empty() ? decodeText(schedule.command)
                                    : tr("preset %1").arg(decodeText(schedule.preset)),
            machines, QString::fromStdString(describeRule(schedule.rule)),
            schedule.rule.kind == ScheduleRule::Kind::MatchEnd && schedule.nextRun == 0
                ? tr("at the match end")
                : timeText(schedule.nextRun),
            schedule.lastRun
                ? timeText(schedule.lastRun) + QStringLiteral(": ") + decodeText(schedule.lastResult)
                : QString()};
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            item->setData(Qt::UserRole, QVariant::fromValue(static_cast<qlonglong>(schedule.id)));
            m_table->setItem(row, column, item);
        }
    }
    m_delete->setEnabled(!schedules.empty());
}

bool ScheduleDock::addForPicked()
{
    std::vector<std::string> machines;
    for (const CCommonObject* object : m_document.PickedMachines())
        machines.push_back(object->GetName());
    if (machines.empty())
        return false;
    auto* dialog = new CScheduleDlg(m_document, m_runner, std::move(machines), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return true;
}

void ScheduleDock::deleteSelected()
{
    std::set<std::int64_t> ids;
    for (const QTableWidgetItem* item : m_table->selectedItems())
        ids.insert(item->data(Qt::UserRole).toLongLong());
    for (const std::int64_t id : ids)
        m_runner.Remove(id);
}
