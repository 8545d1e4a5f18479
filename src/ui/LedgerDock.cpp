#include "ui/LedgerDock.h"

#include "core/Operator.h"
#include "layout/CQuorvaneDoc.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerBrowse.h"
#include "ui/CQuorvaneView.h"
#include "ui/LedgerCsv.h"
#include "ui/LedgerTableModel.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr LedgerQuery::Kind kKinds[] = {LedgerQuery::Kind::Matches, LedgerQuery::Kind::Players,
                                        LedgerQuery::Kind::Commands, LedgerQuery::Kind::Availability};

// The column each list is first sorted by, newest first.
int NewestColumn(LedgerQuery::Kind kind)
{
    const auto columns = LedgerTableModel::ColumnsFor(kind);
    const QString key =
        kind == LedgerQuery::Kind::Players ? QStringLiteral("last_seen") : columns.front().key;
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].key == key)
            return static_cast<int>(c);
    return 0;
}

// "server 127.0.0.1:27015" -> the address and the port.
bool SplitTyped(const QString& typed, std::string& address, int& port)
{
    const QString name = typed.mid(typed.lastIndexOf(QLatin1Char(' ')) + 1);
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    port = colon > 0 ? name.mid(colon + 1).toInt(&ok) : 0;
    address = name.left(colon).toStdString();
    return ok && port > 0 && port < 65536;
}
} // namespace

LedgerDock::LedgerDock(CQuorvaneDoc& document, CQuorvaneView& view, QWidget* parent)
    : QDockWidget(tr("Ledger"), parent), m_document(document), m_view(view)
{
    setObjectName(QStringLiteral("ledgerDock"));
    auto* body = new QWidget(this);
    m_filter = new QLineEdit(body);
    m_filter->setObjectName(QStringLiteral("ledgerFilter"));
    m_filter->setPlaceholderText(tr("Filter: name, SteamID, IP, map, command..."));
    m_filter->setClearButtonEnabled(true);
    m_fromCheck = new QCheckBox(tr("From"), body);
    m_from = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1), body);
    m_untilCheck = new QCheckBox(tr("until"), body);
    m_until = new QDateTimeEdit(QDateTime::currentDateTime(), body);
    for (QDateTimeEdit* edit : {m_from, m_until}) {
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }
    auto* refresh = new QPushButton(tr("&Refresh"), body);
    auto* exportCsv = new QPushButton(tr("Export &CSV..."), body);
    m_forget = new QPushButton(tr("&Forget Player..."), body);
    m_forget->setObjectName(QStringLiteral("ledgerForgetButton"));
    m_forget->setToolTip(tr("Remove this SteamID or IP from the ledger everywhere"));
    m_forget->setEnabled(false);
    auto* demoFolder = new QPushButton(tr("Demo F&older"), body);
    demoFolder->setObjectName(QStringLiteral("ledgerDemoFolderButton"));
    demoFolder->setToolTip(tr("Open the folder the collected demos are kept in"));
    connect(demoFolder, &QPushButton::clicked, this, [this] {
        const std::string& folder = m_document.demos().settings().folder;
        if (folder.empty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder))))
            m_status->setText(
                folder.empty()
                    ? tr("No demo folder is set")
                    : tr("The demo folder %1 cannot be opened").arg(QString::fromStdString(folder)));
    });
    m_status = new QLabel(body);
    m_status->setObjectName(QStringLiteral("ledgerStatus"));
    m_status->setTextFormat(Qt::PlainText);

    m_tabWidget = new QTabWidget(body);
    const QString titles[] = {tr("Matches"), tr("Players"), tr("Commands"), tr("Availability")};
    for (const LedgerQuery::Kind kind : kKinds) {
        Tab& tab = m_tabs[static_cast<std::size_t>(kind)];
        tab.model = new LedgerTableModel(kind, this);
        tab.sorted = new QSortFilterProxyModel(this);
        tab.sorted->setSourceModel(tab.model);
        tab.sorted->setSortRole(LedgerTableModel::SortRole);
        tab.table = new QTableView(m_tabWidget);
        tab.table->setModel(tab.sorted);
        tab.table->setSortingEnabled(true);
        tab.table->sortByColumn(NewestColumn(kind), Qt::DescendingOrder);
        tab.table->setSelectionBehavior(QAbstractItemView::SelectRows);
        tab.table->setSelectionMode(QAbstractItemView::SingleSelection);
        tab.table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tab.table->setWordWrap(false);
        tab.table->setTextElideMode(Qt::ElideRight);
        tab.table->verticalHeader()->hide();
        tab.table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        tab.table->verticalHeader()->setDefaultSectionSize(tab.table->fontMetrics().height() + 6);
        tab.table->horizontalHeader()->setStretchLastSection(true);
        m_tabWidget->addTab(tab.table, titles[static_cast<int>(kind)]);
        connect(tab.table, &QTableView::doubleClicked, this,
                [this](const QModelIndex& index) { PickRow(index.row()); });
        connect(tab.table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &LedgerDock::UpdateForget);
    }

    auto* range = new QHBoxLayout;
    range->addWidget(m_filter, 1);
    range->addWidget(m_fromCheck);
    range->addWidget(m_from);
    range->addWidget(m_untilCheck);
    range->addWidget(m_until);
    range->addWidget(refresh);
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_status, 1);
    actions->addWidget(demoFolder);
    actions->addWidget(m_forget);
    actions->addWidget(exportCsv);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(range);
    layout->addWidget(m_tabWidget, 1);
    layout->addLayout(actions);
    setWidget(body);

    m_typing.setSingleShot(true);
    m_typing.setInterval(kTypingMs);
    connect(&m_typing, &QTimer::timeout, this, &LedgerDock::Refresh);
    const auto later = [this] { m_typing.start(); };
    connect(m_filter, &QLineEdit::textChanged, this, later);
    connect(m_from, &QDateTimeEdit::dateTimeChanged, this, later);
    connect(m_until, &QDateTimeEdit::dateTimeChanged, this, later);
    connect(m_fromCheck, &QCheckBox::toggled, m_from, &QWidget::setEnabled);
    connect(m_untilCheck, &QCheckBox::toggled, m_until, &QWidget::setEnabled);
    connect(m_fromCheck, &QCheckBox::toggled, this, &LedgerDock::Refresh);
    connect(m_untilCheck, &QCheckBox::toggled, this, &LedgerDock::Refresh);
    connect(refresh, &QPushButton::clicked, this, &LedgerDock::Refresh);
    connect(exportCsv, &QPushButton::clicked, this, &LedgerDock::OnExport);
    connect(m_forget, &QPushButton::clicked, this, &LedgerDock::ForgetSelectedPlayer);
    connect(m_tabWidget, &QTabWidget::currentChanged, this, [this] {
        UpdateForget();
        Refresh();
    });
    // Asked when it comes into sight, not before: a hidden list costs nothing.
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool shown) {
        if (shown)
            Refresh();
    });
}

LedgerDock::~LedgerDock() = default;

LedgerQuery::Kind LedgerDock::currentKind() const
{
    return kKinds[std::clamp(m_tabWidget->currentIndex(), 0, 3)];
}

void LedgerDock::showKind(LedgerQuery::Kind kind)
{
    m_tabWidget->setCurrentIndex(static_cast<int>(kind));
}

LedgerTableModel& LedgerDock::model(LedgerQuery::Kind kind) const
{
    return *tab(kind).model;
}

QSortFilterProxyModel& LedgerDock::sorted(LedgerQuery::Kind kind) const
{
    return *tab(kind).sorted;
}

QTableView* LedgerDock::table(LedgerQuery::Kind kind) const
{
    return tab(kind).table;
}

LedgerQuery::Filter LedgerDock::currentFilter() const
{
    LedgerQuery::Filter filter;
    filter.find = m_filter->text().trimmed();
    if (m_fromCheck->isChecked())
        filter.since = m_from->dateTime().toSecsSinceEpoch();
    if (m_untilCheck->isChecked())
        filter.until = m_until->dateTime().toSecsSinceEpoch();
    filter.limit = kRowLimit;
    filter.newestFirst = true;
    return filter;
}

void LedgerDock::Refresh()
{
    m_typing.stop();
    const Ledger* ledger = m_document.ledger();
    if (!ledger) {
        m_browser.reset();
        m_waiting = 0;
        m_status->setText(tr("No ledger is kept in this session (Modules, Ledger... chooses one)."));
        emit refreshed();
        return;
    }
    if (!m_browser || m_browser->target().describe() != ledger->target().describe()) {
        m_browser = std::make_unique<LedgerBrowser>(ledger->target());
        connect(m_browser.get(), &LedgerBrowser::answered, this, &LedgerDock::OnAnswer);
    }
    m_waiting = m_browser->ask(currentKind(), currentFilter());
    m_status->setText(tr("Looking in the ledger..."));
}

void LedgerDock::OnAnswer(int serial, LedgerQuery::Kind kind, LedgerBrowser::Table table,
                          const QString& error)
{
    if (serial != m_waiting || kind != currentKind())
        return; // overtaken by a newer look-up
    m_waiting = 0;
    if (!table) {
        m_status->setText(tr("The ledger %1 cannot be read: %2").arg(m_browser->target().describe(), error));
        emit refreshed();
        return;
    }
    Tab& shown = m_tabs[static_cast<std::size_t>(kind)];
    const std::size_t rows = table->rows.size();
    shown.model->setTable(std::move(table));
    if (!shown.sized && rows > 0) {
        shown.sized = true;
        shown.table->resizeColumnsToContents();
    }
    m_status->setText(
        rows >= static_cast<std::size_t>(kRowLimit)
            ? tr("The newest %1 rows are shown: narrow the dates or the filter to see others.").arg(kRowLimit)
            : tr("%n row(s)", nullptr, static_cast<int>(rows)));
    UpdateForget();
    emit refreshed();
}

QByteArray LedgerDock::CsvBytes() const
{
    return ledgerCsv(sorted(currentKind()), LedgerTableModel::ExportRole);
}

bool LedgerDock::ExportCsv(const QString& path, QString& error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(CsvBytes()) < 0 || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

void LedgerDock::OnExport()
{
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export CSV"), QString(), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!ExportCsv(path, error))
        m_document.context().op->showMessage("Cannot write " + path.toStdString() + ": " +
                                             error.toStdString());
}

void LedgerDock::PickRow(int tableRow)
{
    const Tab& shown = tab(currentKind());
    const QModelIndex source = shown.sorted->mapToSource(shown.sorted->index(tableRow, 0));
    const QString typed = shown.model->objectOf(source.row());
    std::string address;
    int port = 0;
    CCommonObject* object = SplitTyped(typed, address, port) ? m_document.FindObject(address, port) : nullptr;
    if (!object) {
        if (!typed.isEmpty())
            m_status->setText(tr("%1 is not in this layout.").arg(LedgerTableModel::OneLine(typed)));
        return;
    }
    m_document.SetSelection(nullptr, object);
    m_view.EnsureVisible(*object);
    m_document.UpdateAllViews(CQuorvaneDoc::HintTick);
}

QString LedgerDock::selectedPlayer() const
{
    if (currentKind() != LedgerQuery::Kind::Players)
        return {};
    const Tab& shown = tab(LedgerQuery::Kind::Players);
    const QModelIndexList rows = shown.table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return {};
    const QString key = shown.model->playerOf(shown.sorted->mapToSource(rows.front()).row());
    return LedgerBrowse::IsPlayerKey(key) ? key : QString();
}

void LedgerDock::UpdateForget()
{
    m_forget->setVisible(currentKind() == LedgerQuery::Kind::Players);
    m_forget->setEnabled(m_document.ledger() && !selectedPlayer().isEmpty());
}

void LedgerDock::ForgetSelectedPlayer()
{
    const QString key = selectedPlayer();
    Ledger* ledger = m_document.ledger();
    if (key.isEmpty() || !ledger)
        return;
    if (!m_document.context().op->askYesNo(
            "Forget " + key.toStdString() +
            "? Every sighting of this player is removed from the ledger, and the player is masked in the "
            "commands kept."))
        return;
    ledger->forgetPlayer(key.toStdString());
    model(LedgerQuery::Kind::Players).removePlayer(key);
    m_status->setText(tr("%1 is forgotten.").arg(key));
    UpdateForget();
}
