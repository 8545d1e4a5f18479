#include "ui/MainWindow.h"

#include "layout/CQuorvaneDoc.h"

#include <QFileInfo>
#include <QLabel>
#include <QTimer>

MainWindow::MainWindow(CQuorvaneDoc& document, QWidget* parent) : QMainWindow(parent), m_document(document)
{
    auto* placeholder = new QLabel(this);
    placeholder->setAlignment(Qt::AlignCenter);
    setCentralWidget(placeholder);
    resize(800, 600);

    auto* ticker = new QTimer(this);
    connect(ticker, &QTimer::timeout, &m_document, &CQuorvaneDoc::TickSecond);
    ticker->start(1000);

    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, [this, placeholder] {
        placeholder->setText(tr("%1 zones, %2 groups, %3 objects")
                                 .arg(m_document.m_zones.size())
                                 .arg(m_document.m_groups.size())
                                 .arg(m_document.m_objects.size()));
    });
    updateTitle();
}

void MainWindow::setDocumentPath(const QString& path)
{
    m_path = path;
    updateTitle();
}

void MainWindow::updateTitle()
{
    const QString name = m_path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_path).fileName();
    setWindowTitle(name + QStringLiteral(" - Quorvane"));
}
