#include "ui/MachinesDock.h"

#include "core/Clock.h"
#include "layout/CQuorvaneDoc.h"
#include "ui/CQuorvaneView.h"
#include "ui/MachinesDelegate.h"
#include "ui/MachinesModel.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

MachinesDock::MachinesDock(CQuorvaneDoc& document, CQuorvaneView& view, QWidget* parent)
    : QDockWidget(tr("Machines"), parent), m_document(document), m_view(view)
{
    setObjectName(QStringLiteral("machinesDock"));
    m_model = new MachinesModel(document, this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(MachinesModel::SortRole);
    m_sorted->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_sorted->setFilterKeyColumn(-1);
    m_sorted->setSortCaseSensitivity(Qt::CaseInsensitive);

    auto* body = new QWidget(this);
    m_filter = new QLineEdit(body);
    m_filter->setObjectName(QStringLiteral("machinesFilter"));
    m_filter->setPlaceholderText(tr("Filter: name, address, map, zone..."));
    m_filter->setClearButtonEnabled(true);
    m_table = new QTableView(body);
    m_table->setObjectName(QStringLiteral("machinesTable"));
    m_table->setModel(m_sorted);
    m_table->setItemDelegate(new MachinesDelegate(m_table));
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(MachinesModel::NameColumn, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->verticalHeader()->hide();
    // Fixed row heights: a park of thousands is laid out without measuring.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_filter);
    layout->addWidget(m_table, 1);
    setWidget(body);

    connect(m_filter, &QLineEdit::textChanged, m_sorted, &QSortFilterProxyModel::setFilterFixedString);
    connect(m_table, &QTableView::clicked, this, [this](const QModelIndex& index) { PickRow(index.row()); });
    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, &MachinesDock::OnDocumentUpdate);
    connect(&m_sweep, &QTimer::timeout, this, &MachinesDock::Step);
    // Swept only while it can be seen; brought up to date when it shows.
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool shown) {
        if (shown)
            m_model->Refresh(m_document.context().clock->now());
    });
    m_sweep.start(1000 / kSlices);
    m_model->Refresh(m_document.context().clock->now());
}

void MachinesDock::Step()
{
    if (!isVisible())
        return;
    m_model->RefreshSlice(m_slice, kSlices, m_document.context().clock->now());
    m_slice = (m_slice + 1) % kSlices;
    if (m_slice == 0)
        m_table->viewport()->update();
}

void MachinesDock::OnDocumentUpdate(int hint)
{
    // The tick's updates are followed by the sweep; an edit (an object
    // added, deleted, moved or renamed) shows at once.
    if (hint != CQuorvaneDoc::HintTick && isVisible())
        m_model->Refresh(m_document.context().clock->now());
}

void MachinesDock::PickRow(int tableRow)
{
    const QModelIndex source = m_sorted->mapToSource(m_sorted->index(tableRow, 0));
    CCommonObject* object = m_model->objectAt(source.row());
    if (!object)
        return;
    m_document.SetSelection(nullptr, object);
    m_view.EnsureVisible(*object);
    m_document.UpdateAllViews(CQuorvaneDoc::HintTick);
}
