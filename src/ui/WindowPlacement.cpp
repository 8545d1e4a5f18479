#include "ui/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <algorithm>

namespace windowplacement {

QRect fitted(QSize wanted, const QRect& available)
{
    const QSize size = wanted.boundedTo(available.size());
    QRect rect(QPoint(0, 0), size);
    rect.moveCenter(available.center());
    return rect;
}

QRect keptInside(const QRect& frame, const QRect& available)
{
    QRect rect(frame.topLeft(), frame.size().boundedTo(available.size()));
    rect.moveLeft(std::clamp(rect.left(), available.left(), available.right() - rect.width() + 1));
    rect.moveTop(std::clamp(rect.top(), available.top(), available.bottom() - rect.height() + 1));
    return rect;
}

namespace {

QRect availableFor(const QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// The frame (title bar and borders) around the client area; known only once
// shown on a desktop, so a guess before that.
QSize frameExtra(const QWidget& window)
{
    const QSize extra = window.frameGeometry().size() - window.geometry().size();
    return extra.isValid() && !extra.isEmpty() ? extra : QSize(0, 0);
}

// Once the window is shown its frame is known: the frame, not only the
// client area, goes inside the available area.
class FitWhenShown : public QObject
{
public:
    explicit FitWhenShown(QWidget& window) : QObject(&window), m_window(window) { window.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_window && event->type() == QEvent::Show)
            QMetaObject::invokeMethod(this, [this] { fit(); }, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    void fit()
    {
        if (m_window.isMaximized() || m_window.isFullScreen())
            return;
        const QRect frame = m_window.frameGeometry();
        const QRect kept = keptInside(frame, availableFor(m_window));
        if (kept == frame)
            return;
        const QSize extra = frame.size() - m_window.geometry().size();
        const QPoint inset = m_window.geometry().topLeft() - frame.topLeft();
        m_window.setGeometry(QRect(kept.topLeft() + inset, kept.size() - extra));
    }

    QWidget& m_window;
};

} // namespace

void restore(QWidget& window, QSettings& store, const QString& key, QSize preferred)
{
    new FitWhenShown(window);
    const QByteArray saved = store.value(key).toByteArray();
    const bool restored = !saved.isEmpty() && window.restoreGeometry(saved);
    const QRect available = availableFor(window);
    const QSize extra = frameExtra(window);
    const QRect inner = available.adjusted(0, 0, -extra.width(), -extra.height());
    if (!restored) {
        window.setGeometry(fitted(preferred, inner));
        return;
    }
    if (window.isMaximized() || window.isFullScreen())
        return;
    // A layout saved on a larger screen, or one that is gone.
    const QRect kept = keptInside(window.geometry(), inner);
    if (kept != window.geometry())
        window.setGeometry(kept);
}

void save(const QWidget& window, QSettings& store, const QString& key)
{
    store.setValue(key, window.saveGeometry());
}

} // namespace windowplacement
