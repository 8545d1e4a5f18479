#include "ui/BansDock.h"

#include "core/Operator.h"
#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString when(std::int64_t seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QTableWidgetItem* plainItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QTableWidget* makeTable(QWidget* parent, const QStringList& headers, const QString& name)
{
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

} // namespace

BansDock::BansDock(CQuorvaneDoc& document, QWidget* parent)
    : QDockWidget(tr("Bans"), parent), m_document(document)
{
    setObjectName(QStringLiteral("bansDock"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    m_bans = makeTable(body,
                       {tr("Target"), tr("Name"), tr("Who"), tr("When"), tr("Why"), tr("Expires"),
                        tr("Scope"), tr("Servers")},
                       QStringLiteral("bansTable"));
    layout->addWidget(m_bans, 2);
    auto* banButtons = new QHBoxLayout;
    m_unban = new QPushButton(tr("&Unban"), body);
    m_unban->setObjectName(QStringLiteral("unbanButton"));
    banButtons->addWidget(m_unban);
    banButtons->addStretch();
    layout->addLayout(banButtons);
    layout->addWidget(new QLabel(tr("Rcon attacks (more than 5 refused commands in a minute):"), body));
    m_attacks = makeTable(body, {tr("When"), tr("Server"), tr("Source"), tr("Refused")},
                          QStringLiteral("attacksTable"));
    layout->addWidget(m_attacks, 1);
    auto* attackButtons = new QHBoxLayout;
    m_banAddress = new QPushButton(tr("Ban this &address on the park"), body);
    m_banAddress->setObjectName(QStringLiteral("banAddressButton"));
    attackButtons->addWidget(m_banAddress);
    attackButtons->addStretch();
    layout->addLayout(attackButtons);
    setWidget(body);

    connect(m_unban, &QPushButton::clicked, this, &BansDock::UnbanSelected);
    connect(m_banAddress, &QPushButton::clicked, this, &BansDock::BanSelectedAddress);
    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, [this] {
        if (isVisible())
            Refresh();
    });
    Refresh();
}

void BansDock::Refresh()
{
    const ParkBans& bans = m_document.bans();
    if (bans.generation() != m_shownGeneration) {
        m_shownGeneration = bans.generation();
        const QString selected = m_bans->currentRow() >= 0 && m_bans->item(m_bans->currentRow(), 0)
                                     ? m_bans->item(m_bans->currentRow(), 0)->data(Qt::UserRole).toString()
                                     : QString();
        m_bans->setRowCount(0);
        for (const ParkBans::Ban& ban : bans.bans()) {
            const int row = m_bans->rowCount();
            m_bans->insertRow(row);
            auto* target =
                plainItem(QString::fromStdString(ban.target) + (ban.byIp ? tr(" (IP)") : QString()));
            target->setData(Qt::UserRole, QString::fromStdString(ban.key));
            m_bans->setItem(row, TargetColumn, target);
            m_bans->setItem(row, NameColumn, plainItem(decodeText(ban.name)));
            m_bans->setItem(row, WhoColumn, plainItem(decodeText(ban.who)));
            m_bans->setItem(row, WhenColumn, plainItem(when(ban.at)));
            m_bans->setItem(row, WhyColumn, plainItem(QString::fromStdString(ban.reason)));
            QString expires = ban.expires == 0 ? tr("permanent") : when(ban.expires);
            if (ban.lifted())
                expires = tr("unbanned %1 by %2").arg(when(ban.liftedAt), decodeText(ban.liftedBy));
            m_bans->setItem(row, ExpiresColumn, plainItem(expires));
            m_bans->setItem(row, ScopeColumn, plainItem(decodeText(ban.scope.text())));
            QStringList servers;
            for (const auto& [server, state] : ban.servers)
                servers << decodeText(server) + ": " + QLatin1String(ParkBans::StateText(state));
            m_bans->setItem(row, ServersColumn, plainItem(servers.join(QStringLiteral(", "))));
            if (!selected.isEmpty() && selected == QString::fromStdString(ban.key))
                m_bans->selectRow(row);
        }
    }
    const auto& alerts = m_document.rconAttacks().alerts();
    const std::uint64_t newest = alerts.empty() ? 0 : alerts.back().sequence;
    if (newest != m_shownAlert) {
        m_shownAlert = newest;
        m_attacks->setRowCount(0);
        for (auto alert = alerts.rbegin(); alert != alerts.rend(); ++alert) {
            const int row = m_attacks->rowCount();
            m_attacks->insertRow(row);
            m_attacks->setItem(row, 0, plainItem(when(alert->at)));
            m_attacks->setItem(row, 1, plainItem(decodeText(alert->server)));
            auto* source = plainItem(QString::fromStdString(alert->source));
            m_attacks->setItem(row, 2, source);
            m_attacks->setItem(row, 3, plainItem(QString::number(alert->count)));
        }
    }
}

void BansDock::UnbanSelected()
{
    const int row = m_bans->currentRow();
    const QTableWidgetItem* item = row >= 0 ? m_bans->item(row, TargetColumn) : nullptr;
    if (!item)
        return;
    const std::string key = item->data(Qt::UserRole).toString().toStdString();
    const ParkBans::Ban* ban = m_document.bans().Find(key);
    if (!ban || ban->lifted())
        return;
    if (!m_document.context().op->askYesNo("Unban " + ban->target + " on every server of " +
                                           ban->scope.text() + "?"))
        return;
    m_document.Unban(key);
    Refresh();
}

void BansDock::BanSelectedAddress()
{
    const int row = m_attacks->currentRow();
    const QTableWidgetItem* item = row >= 0 ? m_attacks->item(row, 2) : nullptr;
    if (!item)
        return;
    const std::string server = m_attacks->item(row, 1)->text().toStdString();
    m_document.BanAddressOnPark(item->text().toStdString(), 0, "rcon attack on " + server);
    Refresh();
}
