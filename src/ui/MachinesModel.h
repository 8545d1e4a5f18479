#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <cstdint>
#include <unordered_map>
#include <vector>

class CCommonObject;
class CQuorvaneDoc;

// Every object of the document as one row of the machines list. Rows hold a
// copy of what they show, so that the list never reads an object between
// its deletion and the next sweep; the object pointer is a key only.
//
// The rows follow the document in slices (a twentieth of the objects each
// step, as the tick does), so that a park of thousands never stalls the
// window: a changed row emits dataChanged, a new object is appended, a
// deleted one removed, and the sort and selection of a view stay as they are.
class MachinesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        StatusColumn,
        NameColumn,
        AddressColumn,
        KindColumn,
        MapColumn,
        PlayersColumn,
        RelayColumn,
        ReplyColumn,
        ZoneColumn,
        GroupColumn,
        ColumnCount
    };
    // Numbers where a column sorts by number (players, reply age).
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit MachinesModel(CQuorvaneDoc& document, QObject* parent = nullptr);

    // Brings the rows of objects [count * slice / slices, count * (slice + 1)
    // / slices) up to date; the first slice also drops the rows of deleted
    // objects. now is the document clock's time, for the reply age.
    void RefreshSlice(int slice, int slices, std::int64_t now);
    // Every row at once.
    void Refresh(std::int64_t now) { RefreshSlice(0, 1, now); }
    // Drops the rows of objects no longer in the document.
    void DropDeleted();

    // The object of a row if it is still in the document, else null.
    CCommonObject* objectAt(int row) const;
    // The row of an object, or -1.
    int rowOf(const CCommonObject* object) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row
    {
        const CCommonObject* key = nullptr;
        QString texts[ColumnCount];
        int players = 0;
        std::int64_t lastReply = 0;
        QColor tint;
        bool operator==(const Row& other) const;
    };
    Row snapshot(const CCommonObject& object) const;

    CQuorvaneDoc& m_document;
    std::vector<Row> m_rows;
    std::unordered_map<const CCommonObject*, int> m_rowOf;
    std::int64_t m_now = 0;
};
