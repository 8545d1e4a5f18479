#include "ui/CSendToManyDlg.h"

#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"
#include "ui/ParkText.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CSendToManyDlg::CSendToManyDlg(CQuorvaneDoc& document, QWidget* parent)
    : QDialog(parent), m_document(document)
{
    setObjectName(QStringLiteral("sendToManyDialog"));
    setWindowTitle(tr("Send to Many Machines"));
    m_pPicked = new QLabel(this);
    m_pPicked->setTextFormat(Qt::PlainText);
    m_pCommands = new QPlainTextEdit(this);
    m_pCommands->setObjectName(QStringLiteral("commandsEdit"));
    m_pCommands->setPlaceholderText(tr("One command a line"));
    m_pCommands->setMaximumHeight(90);
    m_pSend = new QPushButton(tr("&Send"), this);
    m_pSend->setObjectName(QStringLiteral("sendToManyButton"));
    m_pResults = new QTableWidget(0, 3, this);
    m_pResults->setObjectName(QStringLiteral("resultsTable"));
    m_pResults->setHorizontalHeaderLabels({tr("Machine"), tr("State"), tr("Answer")});
    m_pResults->horizontalHeader()->setStretchLastSection(true);
    m_pResults->verticalHeader()->hide();
    // Rows of one line each: hundreds of them are laid out without measuring each.
    m_pResults->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pResults->verticalHeader()->setDefaultSectionSize(m_pResults->fontMetrics().height() + 6);
    m_pResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pResults->setWordWrap(false);
    m_pSummary = new QLabel(this);
    m_pSummary->setObjectName(QStringLiteral("resultsSummary"));
    m_pSummary->setTextFormat(Qt::PlainText);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pPicked);
    layout->addWidget(m_pCommands);
    layout->addWidget(m_pSend, 0, Qt::AlignRight);
    layout->addWidget(m_pResults, 1);
    layout->addWidget(m_pSummary);
    layout->addWidget(close);
    resize(720, 480);

    connect(m_pSend, &QPushButton::clicked, this, &CSendToManyDlg::send);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, &CSendToManyDlg::refresh);
    refresh();
}

void CSendToManyDlg::setCommands(const QString& text)
{
    m_pCommands->setPlainText(text);
}

bool CSendToManyDlg::send()
{
    std::vector<std::string> commands;
    for (const QString& line : m_pCommands->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            commands.push_back(encodeTyped(line.trimmed()));
    }
    const bool sent = m_document.SendToPicked(commands);
    refresh();
    return sent;
}

void CSendToManyDlg::refresh()
{
    const std::size_t picked = m_document.PickedMachines().size();
    m_pPicked->setText(tr("Picked: %1").arg(picked == 1 ? tr("1 machine") : tr("%1 machines").arg(picked)));
    m_pSend->setText(picked == 1 ? tr("&Send to 1 machine") : tr("&Send to %1 machines").arg(picked));
    m_pSend->setEnabled(picked > 0);
    const SendToMany& sending = m_document.parkConsole().sending;
    if (sending.generation() == m_shownGeneration)
        return;
    m_shownGeneration = sending.generation();
    const auto& rows = sending.rows();
    m_pResults->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        QString answer;
        for (const std::string& line : rows[i].lines)
            answer += (answer.isEmpty() ? QString() : QStringLiteral(" | ")) + plainCell(line);
        const QString cells[] = {QString::fromStdString(rows[i].machine),
                                 QString::fromLatin1(stateText(rows[i].state)), answer};
        for (int column = 0; column < 3; ++column) {
            QTableWidgetItem* item = m_pResults->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_pResults->setItem(row, column, item);
            }
            if (item->text() != cells[column])
                item->setText(cells[column]);
        }
    }
    using State = SendToMany::State;
    m_pSummary->setText(rows.empty() ? QString()
                                     : tr("%1 answered, %2 no output, %3 no answer, %4 refused, %5 skipped%6")
                                           .arg(sending.count(State::Answered))
                                           .arg(sending.count(State::NoOutput))
                                           .arg(sending.count(State::NoAnswer))
                                           .arg(sending.count(State::Refused))
                                           .arg(sending.count(State::Skipped))
                                           .arg(sending.settled() ? QString() : tr(", waiting...")));
}
