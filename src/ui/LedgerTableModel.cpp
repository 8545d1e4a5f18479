#include "ui/LedgerTableModel.h"

#include "ui/ParkText.h"

#include <QDateTime>

namespace {
constexpr int kShownChars = 300;

LedgerTableModel::Column C(const char* key, const QString& title)
{
    return {QString::fromLatin1(key), title};
}

QString Joined(const QVariant& value, const QString& separator)
{
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(separator) : value.toString();
}
} // namespace

std::vector<LedgerTableModel::Column> LedgerTableModel::ColumnsFor(LedgerQuery::Kind kind)
{
    switch (kind) {
    case LedgerQuery::Kind::Matches:
        return {C("started", tr("Started")),  C("ended", tr("Ended")),     C("object", tr("Server")),
                C("map", tr("Map")),          C("teams", tr("Teams")),     C("scores", tr("Score")),
                C("ending", tr("Ending")),    C("proxies", tr("Proxies")), C("demos", tr("Demos")),
                C("files", tr("Demo files")), C("instance", tr("Kept by"))};
    case LedgerQuery::Kind::Players:
        return {C("player", tr("SteamID / IP")),   C("names", tr("Names")),
                C("servers", tr("Servers")),       C("addresses", tr("Addresses")),
                C("first_seen", tr("First seen")), C("last_seen", tr("Last seen")),
                C("sightings", tr("Sightings"))};
    case LedgerQuery::Kind::Commands:
        return {C("at", tr("Time")),      C("os_user", tr("User")),  C("object", tr("Object")),
                C("text", tr("Command")), C("answer", tr("Answer")), C("instance", tr("Kept by"))};
    case LedgerQuery::Kind::Bans:
        return {C("at", tr("Banned")),       C("target", tr("SteamID / IP")), C("name", tr("Name")),
                C("reason", tr("Reason")),    C("expires", tr("Expires")),     C("scope", tr("Scope")),
                C("servers", tr("Servers")),  C("os_user", tr("By")),          C("lifted_at", tr("Lifted")),
                C("lifted_by", tr("Lifted by"))};
    case LedgerQuery::Kind::Schedules:
        return {C("next_run", tr("Next run")), C("last_run", tr("Last run")), C("machines", tr("Machines")),
                C("rule", tr("When")),         C("command", tr("Command")),   C("preset", tr("Preset")),
                C("last_result", tr("Last result")), C("instance", tr("Kept by"))};
    case LedgerQuery::Kind::Availability:
        break;
    }
    return {C("at", tr("Time")), C("object", tr("Object")), C("change", tr("Change")),
            C("duration", tr("Duration")), C("instance", tr("Kept by"))};
}

LedgerTableModel::LedgerTableModel(LedgerQuery::Kind kind, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_columns(ColumnsFor(kind))
{
}

void LedgerTableModel::setTable(LedgerBrowser::Table table)
{
    beginResetModel();
    m_table = std::move(table);
    m_source.assign(m_columns.size(), -1);
    m_rows.clear();
    if (m_table) {
        for (std::size_t c = 0; c < m_columns.size(); ++c)
            m_source[c] = static_cast<int>(m_table->columns.indexOf(m_columns[c].key));
        m_rows.reserve(m_table->rows.size());
        for (std::size_t r = 0; r < m_table->rows.size(); ++r)
            if (m_table->rows[r].size() >= static_cast<std::size_t>(m_table->columns.size()))
                m_rows.push_back(static_cast<int>(r));
    }
    endResetModel();
}

void LedgerTableModel::removePlayer(const QString& key)
{
    if (key.isEmpty())
        return;
    for (int row = rowCount() - 1; row >= 0; --row) {
        if (playerOf(row) != key)
            continue;
        beginRemoveRows({}, row, row);
        m_rows.erase(m_rows.begin() + row);
        endRemoveRows();
    }
}

const QVariant& LedgerTableModel::cell(int row, int column) const
{
    static const QVariant none;
    if (!m_table || row < 0 || row >= rowCount() || column < 0 || column >= columnCount() ||
        m_source[column] < 0)
        return none;
    return m_table->rows[static_cast<std::size_t>(m_rows[row])][static_cast<std::size_t>(m_source[column])];
}

bool LedgerTableModel::isTime(int column) const
{
    return m_table && m_table->timeColumns.contains(m_columns[column].key);
}

QString LedgerTableModel::objectOf(int row) const
{
    for (int c = 0; c < columnCount(); ++c) {
        if (m_columns[c].key == QLatin1String("object"))
            return cell(row, c).toString();
        if (m_columns[c].key == QLatin1String("servers"))
            return cell(row, c).toStringList().value(0);
    }
    return {};
}

QString LedgerTableModel::playerOf(int row) const
{
    if (m_kind != LedgerQuery::Kind::Players)
        return {};
    return cell(row, 0).toString();
}

int LedgerTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int LedgerTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QString LedgerTableModel::FormatDuration(qlonglong seconds)
{
    if (seconds <= 0)
        return {};
    const qlonglong days = seconds / 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
                              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return days ? QStringLiteral("%1d %2").arg(days).arg(clock) : clock;
}

QString LedgerTableModel::OneLine(const QString& text)
{
    QString line;
    line.reserve(std::min<qsizetype>(text.size(), kShownChars + 8));
    for (const QChar c : text) {
        if (line.size() >= kShownChars) {
            line += QChar(0x2026);
            break;
        }
        if (c == QLatin1Char('\n'))
            line += QStringLiteral(" \u23CE ");
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                 c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            continue;
        else
            line += c;
    }
    return line;
}

QVariant LedgerTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int column = index.column();
    const QVariant& value = cell(index.row(), column);
    const QString& key = m_columns[static_cast<std::size_t>(column)].key;
    const bool number = value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int;
    switch (role) {
    case Qt::DisplayRole:
        if (isTime(column))
            return value.toLongLong() == 0 ? QVariant(QString())
                                           : QVariant(QDateTime::fromSecsSinceEpoch(value.toLongLong())
                                                          .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        if (key == QLatin1String("duration"))
            return FormatDuration(value.toLongLong());
        if (number)
            return value.toLongLong();
        return OneLine(Joined(value, QStringLiteral(", ")));
    case Qt::ToolTipRole: {
        if (isTime(column) || number)
            return {};
        const QString text = Joined(value, QStringLiteral("\n"));
        if (text.isEmpty())
            return {};
        return plainToolTip(text);
    }
    case SortRole:
        if (isTime(column) || number || key == QLatin1String("duration"))
            return value.toLongLong();
        return Joined(value, QStringLiteral(", ")).toCaseFolded();
    case ExportRole:
        if (isTime(column))
            return value.toLongLong() == 0 ? QVariant(QString())
                                           : QVariant(LedgerQuery::FormatTime(value.toLongLong()));
        if (number)
            return value.toLongLong();
        return Joined(value, QStringLiteral("; "));
    case Qt::TextAlignmentRole:
        return number && key != QLatin1String("duration") ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                          : QVariant();
    default:
        return {};
    }
}

QVariant LedgerTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_columns[static_cast<std::size_t>(section)].title;
}
