#include "ui/SplitterShare.h"

#include <QEvent>
#include <QSplitter>
#include <cmath>

SplitterShare::SplitterShare(QSplitter& splitter, double share)
    : QObject(&splitter), m_splitter(splitter), m_share(share)
{
    splitter.installEventFilter(this);
    connect(&splitter, &QSplitter::splitterMoved, this, &SplitterShare::enforce);
}

void SplitterShare::enforce()
{
    QList<int> sizes = m_splitter.sizes();
    if (sizes.size() != 2 || sizes[1] == 0)
        return; // the second pane is hidden: the first has everything
    const int total = sizes[0] + sizes[1];
    const int least = static_cast<int>(std::ceil(total * m_share));
    if (sizes[0] >= least)
        return;
    m_splitter.setSizes({least, total - least});
}

bool SplitterShare::eventFilter(QObject* watched, QEvent* event)
{
    // The splitter shares out its new size after the filter has seen the
    // event: look once it has.
    if (watched == &m_splitter && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        QMetaObject::invokeMethod(this, &SplitterShare::enforce, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}
