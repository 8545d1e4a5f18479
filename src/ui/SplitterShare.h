#pragma once

#include <QObject>

class QSplitter;

// Keeps the first pane of a two-pane splitter at no less than a share of the
// splitter's height (or width), whatever the window's size, the scale or a
// restored position: after every resize and every move of the handle.
class SplitterShare : public QObject
{
public:
    SplitterShare(QSplitter& splitter, double share);

    // Moves the handle back when the first pane has less than its share.
    void enforce();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSplitter& m_splitter;
    double m_share;
};
