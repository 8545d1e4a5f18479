#include "ui/PlayerTable.h"

#include "core/TextCodec.h"

#include <QHeaderView>
#include <algorithm>

namespace {

// The row's index in the arrival order.
constexpr int kIndexRole = Qt::UserRole;
constexpr int kSortRole = Qt::UserRole + 2;

// Sorts by kSortRole when set (numbers, durations), else by text.
class SortItem : public QTableWidgetItem
{
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override
    {
        const QVariant mine = data(kSortRole);
        const QVariant theirs = other.data(kSortRole);
        if (mine.isValid() && theirs.isValid())
            return mine.toLongLong() < theirs.toLongLong();
        if (mine.isValid() != theirs.isValid())
            return theirs.isValid(); // blanks first
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

QString duration(int seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// A user id names a player for as long as he stays, through a change of
// name; until the status table gives it, the name does.
bool samePlayer(const PlayerRow& a, const PlayerRow& b)
{
    if (a.userId && b.userId)
        return *a.userId == *b.userId;
    return a.name == b.name;
}

} // namespace

PlayerTable::PlayerTable(QWidget* parent) : QTableWidget(0, ColumnCount, parent)
{
    setHorizontalHeaderLabels(
        {tr("Name"), tr("Frags"), tr("Time"), tr("UserID"), tr("SteamID"), tr("Ping"), tr("Address")});
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    horizontalHeader()->setStretchLastSection(false);
    setTextElideMode(Qt::ElideRight);
    horizontalHeader()->setSortIndicatorShown(true);
    // Arrival order until the operator asks for another.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    setWordWrap(false);
    for (int column : {UserIdColumn, SteamIdColumn, PingColumn, AddressColumn})
        setColumnHidden(column, true);
}

void PlayerTable::setPlayers(const std::vector<PlayerRow>& rows)
{
    const std::vector<PlayerRow> selected = selectedPlayers();
    std::optional<PlayerRow> current;
    if (currentRow() >= 0)
        current = playerAt(currentRow());

    const bool unchanged =
        rows.size() == m_rows.size() &&
        std::equal(rows.begin(), rows.end(), m_rows.begin(), [](const PlayerRow& a, const PlayerRow& b) {
            return a.name == b.name && a.frags == b.frags && a.seconds == b.seconds && a.userId == b.userId &&
                   a.steamId == b.steamId && a.ping == b.ping && a.address == b.address;
        });
    if (unchanged)
        return;
    m_rows = rows;

    const bool withStatus =
        std::any_of(rows.begin(), rows.end(), [](const PlayerRow& row) { return row.userId.has_value(); });
    m_withStatus = withStatus;

    const bool sorting = isSortingEnabled();
    setSortingEnabled(false);
    const QSignalBlocker quiet(selectionModel());
    clearSelection();
    setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const PlayerRow& row = rows[static_cast<std::size_t>(i)];
        const auto set = [&](int column, const QString& text, std::optional<long long> sortKey) {
            auto* item = new SortItem(text);
            item->setData(kIndexRole, i);
            if (sortKey)
                item->setData(kSortRole, *sortKey);
            setItem(i, column, item);
        };
        set(NameColumn, decodeText(row.name), std::nullopt);
        set(FragsColumn, row.frags ? QString::number(*row.frags) : QString(), row.frags);
        set(TimeColumn, row.seconds ? duration(*row.seconds) : QString(), row.seconds);
        set(UserIdColumn, row.userId ? QString::number(*row.userId) : QString(), row.userId);
        set(SteamIdColumn, decodeText(row.steamId), std::nullopt);
        set(PingColumn, row.ping ? QString::number(*row.ping) : QString(), row.ping);
        set(AddressColumn, decodeText(row.address), std::nullopt);
    }
    setSortingEnabled(sorting);

    QItemSelection again;
    for (int r = 0; r < rowCount(); ++r) {
        const PlayerRow player = playerAt(r);
        const auto same = [&player](const PlayerRow& other) { return samePlayer(player, other); };
        if (std::any_of(selected.begin(), selected.end(), same))
            again.select(model()->index(r, 0), model()->index(r, ColumnCount - 1));
        if (current && same(*current))
            selectionModel()->setCurrentIndex(model()->index(r, NameColumn), QItemSelectionModel::NoUpdate);
    }
    selectionModel()->select(again, QItemSelectionModel::Select);
    fitColumns();
}

void PlayerTable::resizeEvent(QResizeEvent* event)
{
    QTableWidget::resizeEvent(event);
    fitColumns();
}

void PlayerTable::fitColumns()
{
    // The least a name keeps before the optional columns give way.
    const int nameRoom = fontMetrics().horizontalAdvance(QLatin1Char('M')) * 8;
    const auto width = [this](int column) {
        return std::max(sizeHintForColumn(column), horizontalHeader()->sectionSizeHint(column));
    };
    bool hidden[ColumnCount] = {};
    for (int column : {UserIdColumn, SteamIdColumn, PingColumn, AddressColumn})
        hidden[column] = !m_withStatus;
    int needed = nameRoom;
    for (int column = FragsColumn; column < ColumnCount; ++column)
        if (!hidden[column])
            needed += width(column);
    const int room = viewport()->width();
    for (int column : {AddressColumn, UserIdColumn, TimeColumn}) {
        if (needed <= room)
            break;
        if (hidden[column])
            continue;
        hidden[column] = true;
        needed -= width(column);
    }
    // Only what changes: a header that shows or hides a section lays out again.
    for (int column = 0; column < ColumnCount; ++column)
        if (isColumnHidden(column) != hidden[column])
            setColumnHidden(column, hidden[column]);
}

PlayerRow PlayerTable::playerAt(int row) const
{
    const QTableWidgetItem* cell = item(row, NameColumn);
    if (!cell)
        return {};
    const int index = cell->data(kIndexRole).toInt();
    return index >= 0 && index < static_cast<int>(m_rows.size()) ? m_rows[static_cast<std::size_t>(index)]
                                                                 : PlayerRow{};
}

std::vector<PlayerRow> PlayerTable::selectedPlayers() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<PlayerRow> players;
    for (int row : rows)
        players.push_back(playerAt(row));
    return players;
}

bool PlayerTable::selectPlayer(const std::string& name)
{
    for (int r = 0; r < rowCount(); ++r) {
        if (playerAt(r).name == name) {
            selectRow(r);
            return true;
        }
    }
    return false;
}
