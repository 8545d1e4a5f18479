#include "ui/MachinesModel.h"

#include "core/TextCodec.h"
#include "layout/CGroup.h"
#include "layout/CQuorvaneDoc.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/ObjectReport.h"
#include "ui/MachineStates.h"
#include "ui/ObjectToolTip.h"

#include <QBrush>
#include <QStringList>
#include <limits>
#include <unordered_set>

namespace {

QString kindWords(const CCommonObject& object)
{
    if (dynamic_cast<const CHLTV*>(&object))
        return QStringLiteral("HLTV proxy");
    if (object.IsHubManager())
        return QStringLiteral("GTV hub manager");
    return QStringLiteral("Game server");
}

QString fromBytes(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

bool MachinesModel::Row::operator==(const Row& other) const
{
    for (int i = 0; i < ColumnCount; ++i)
        if (texts[i] != other.texts[i])
            return false;
    return players == other.players && lastReply == other.lastReply && tint == other.tint;
}

MachinesModel::MachinesModel(CQuorvaneDoc& document, QObject* parent)
    : QAbstractTableModel(parent), m_document(document)
{
}

MachinesModel::Row MachinesModel::snapshot(const CCommonObject& object) const
{
    Row row;
    row.key = &object;
    const MachineState* state = machineState(object);
    row.tint = state ? state->tint : QColor();
    row.texts[StatusColumn] = QString::fromLatin1(state ? state->words : statusText(object.m_nStatus));
    row.texts[NameColumn] = decodeText(object.m_strHostname);
    row.texts[AddressColumn] = fromBytes(object.GetName());
    row.texts[KindColumn] = kindWords(object);
    if (const auto* proxy = dynamic_cast<const CHLTV*>(&object)) {
        row.texts[MapColumn] = decodeText(proxy->m_strMap);
        row.players = proxy->m_nClients;
        row.texts[PlayersColumn] = QStringLiteral("%1/%2").arg(proxy->m_nClients).arg(proxy->m_nMaxClients);
        if (!proxy->m_strLinkedAddress.empty())
            row.texts[RelayColumn] = decodeText(proxy->m_strLinkedAddress);
        else if (proxy->m_pLinked)
            row.texts[RelayColumn] = fromBytes(proxy->m_pLinked->GetName());
    } else if (const auto* server = dynamic_cast<const CHLServer*>(&object)) {
        row.texts[MapColumn] = decodeText(server->m_strMap);
        row.players = server->m_nPlayers;
        row.texts[PlayersColumn] = QStringLiteral("%1/%2").arg(server->m_nPlayers).arg(server->m_nMaxPlayers);
    } else if (const auto* manager = dynamic_cast<const CGTV*>(&object)) {
        row.players = manager->m_nSvClients;
        row.texts[PlayersColumn] =
            QStringLiteral("%1/%2").arg(manager->m_nSvClients).arg(manager->m_nSvMaxClients);
        // Its hubs follow machines of the park: each one named once.
        QStringList followed;
        for (int i = 0; i < manager->m_nHubs; ++i) {
            const CCommonObject* linked = manager->m_hubs[static_cast<std::size_t>(i)].m_pLinked;
            const QString name = linked ? fromBytes(linked->GetName()) : QString();
            if (!name.isEmpty() && !followed.contains(name))
                followed.append(name);
        }
        row.texts[RelayColumn] = followed.join(QStringLiteral(", "));
    }
    row.lastReply = object.m_timeLastReply;
    if (const CGroup* group = object.m_pGroup.get()) {
        row.texts[GroupColumn] = decodeText(group->m_strName);
        if (group->m_pZone)
            row.texts[ZoneColumn] = decodeText(group->m_pZone->m_strName);
    }
    return row;
}

void MachinesModel::DropDeleted()
{
    std::unordered_set<const CCommonObject*> present;
    present.reserve(m_document.m_objects.size());
    for (const auto& object : m_document.m_objects)
        present.insert(object.get());
    bool removed = false;
    // From the bottom, one run of consecutive rows at a time.
    for (int row = static_cast<int>(m_rows.size()) - 1; row >= 0;) {
        if (present.count(m_rows[static_cast<std::size_t>(row)].key)) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !present.count(m_rows[static_cast<std::size_t>(first - 1)].key))
            --first;
        beginRemoveRows({}, first, row);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + row + 1);
        endRemoveRows();
        removed = true;
        row = first - 1;
    }
    if (removed) {
        m_rowOf.clear();
        for (std::size_t i = 0; i < m_rows.size(); ++i)
            m_rowOf[m_rows[i].key] = static_cast<int>(i);
    }
}

void MachinesModel::RefreshSlice(int slice, int slices, std::int64_t now)
{
    m_now = now;
    if (slice == 0)
        DropDeleted();
    const std::size_t count = m_document.m_objects.size();
    const auto bound = [&](int part) {
        return count * static_cast<std::size_t>(part) / static_cast<std::size_t>(std::max(1, slices));
    };
    std::vector<Row> fresh;
    // Changed rows are reported in runs, so that a view hears few signals.
    int runFirst = -1;
    int runLast = -1;
    const auto flush = [&] {
        if (runFirst >= 0)
            emit dataChanged(index(runFirst, 0), index(runLast, ColumnCount - 1));
        runFirst = runLast = -1;
    };
    for (std::size_t i = bound(slice); i < bound(slice + 1); ++i) {
        const CCommonObject& object = *m_document.m_objects[i];
        const auto found = m_rowOf.find(&object);
        Row row = snapshot(object);
        if (found == m_rowOf.end()) {
            fresh.push_back(std::move(row));
            continue;
        }
        Row& shown = m_rows[static_cast<std::size_t>(found->second)];
        if (shown == row)
            continue;
        shown = std::move(row);
        if (runFirst >= 0 && found->second != runLast + 1)
            flush();
        if (runFirst < 0)
            runFirst = found->second;
        runLast = found->second;
    }
    flush();
    if (!fresh.empty()) {
        const int first = static_cast<int>(m_rows.size());
        beginInsertRows({}, first, first + static_cast<int>(fresh.size()) - 1);
        for (Row& row : fresh) {
            m_rowOf[row.key] = static_cast<int>(m_rows.size());
            m_rows.push_back(std::move(row));
        }
        endInsertRows();
    }
}

CCommonObject* MachinesModel::objectAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return nullptr;
    const CCommonObject* key = m_rows[static_cast<std::size_t>(row)].key;
    for (const auto& object : m_document.m_objects)
        if (object.get() == key)
            return object.get();
    return nullptr;
}

int MachinesModel::rowOf(const CCommonObject* object) const
{
    const auto found = m_rowOf.find(object);
    return found == m_rowOf.end() ? -1 : found->second;
}

int MachinesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MachinesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MachinesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()))
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        // The age is worked out as it is shown: it changes every second
        // for every row, and only the rows in sight need it.
        return column == ReplyColumn ? replyAge(row.lastReply, m_now) : row.texts[column];
    case SortRole:
        if (column == PlayersColumn)
            return row.players;
        if (column == ReplyColumn) // by age: never answered is the oldest
            return row.lastReply == 0 ? std::numeric_limits<qlonglong>::max()
                                      : static_cast<qlonglong>(-row.lastReply);
        return row.texts[column];
    case Qt::BackgroundRole:
        return row.tint.isValid() ? QVariant(QBrush(row.tint)) : QVariant();
    case Qt::ForegroundRole:
        // Text on a tinted row stays dark whatever the palette.
        return row.tint.isValid() ? QVariant(QBrush(Qt::black)) : QVariant();
    default:
        return {};
    }
}

QVariant MachinesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[ColumnCount] = {"Status", "Name", "Address", "Kind", "Map",
                                                    "Players", "Relaying to", "Last reply", "Zone", "Group"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
