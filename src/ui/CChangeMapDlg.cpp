#include "ui/CChangeMapDlg.h"

#include "layout/CQuorvaneDoc.h"
#include "park/MapChange.h"
#include "ui/ParkText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CChangeMapDlg::CChangeMapDlg(CQuorvaneDoc& document, QWidget* parent) : QDialog(parent), m_document(document)
{
    setObjectName(QStringLiteral("changeMapDialog"));
    setWindowTitle(tr("Change Map"));
    m_pAsked = new QLabel(this);
    m_pAsked->setTextFormat(Qt::PlainText);
    m_pFilter = new QLineEdit(this);
    m_pFilter->setObjectName(QStringLiteral("mapFilter"));
    m_pFilter->setPlaceholderText(tr("Filter"));
    m_pFilter->setClearButtonEnabled(true);
    m_pMaps = new QListWidget(this);
    m_pMaps->setObjectName(QStringLiteral("mapList"));
    m_pChange = new QPushButton(tr("&Change Map"), this);
    m_pChange->setObjectName(QStringLiteral("changeMapButton"));
    auto* restart = new QPushButton(tr("&Restart Round"), this);
    restart->setObjectName(QStringLiteral("restartRoundButton"));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pChange);
    buttons->addWidget(restart);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pAsked);
    layout->addWidget(m_pFilter);
    layout->addWidget(m_pMaps, 1);
    layout->addLayout(buttons);
    resize(360, 460);

    const int asked = m_document.AskMapsOfPicked();
    m_pAsked->setText(asked ? (asked == 1 ? tr("Maps of 1 server:") : tr("Maps of %1 servers:").arg(asked))
                            : tr("No picked game server is under rcon: no maps to list."));
    connect(m_pFilter, &QLineEdit::textChanged, this, &CChangeMapDlg::refresh);
    connect(m_pMaps, &QListWidget::itemDoubleClicked, this, &CChangeMapDlg::changeToSelected);
    connect(m_pChange, &QPushButton::clicked, this, &CChangeMapDlg::changeToSelected);
    connect(restart, &QPushButton::clicked, this, [this] {
        if (m_document.RestartRoundOnPicked())
            emit sent();
    });
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, &CChangeMapDlg::refresh);
    refresh();
}

void CChangeMapDlg::setFilter(const QString& text)
{
    m_pFilter->setText(text);
}

void CChangeMapDlg::refresh()
{
    const std::vector<std::string> shown =
        mapchange::filterMaps(m_document.MapsOfPicked(), m_pFilter->text().toStdString());
    if (shown == m_shown)
        return;
    const QString current = m_pMaps->currentItem() ? m_pMaps->currentItem()->text() : QString();
    m_shown = shown;
    m_pMaps->clear();
    for (const std::string& map : m_shown) {
        m_pMaps->addItem(plainCell(map, 64));
        if (m_pMaps->item(m_pMaps->count() - 1)->text() == current)
            m_pMaps->setCurrentRow(m_pMaps->count() - 1);
    }
    m_pChange->setEnabled(!m_shown.empty());
}

bool CChangeMapDlg::changeToSelected()
{
    const int row = m_pMaps->currentRow();
    if (row < 0 || row >= static_cast<int>(m_shown.size()))
        return false;
    if (!m_document.ChangeMapOnPicked(m_shown[static_cast<std::size_t>(row)]))
        return false;
    emit sent();
    return true;
}
