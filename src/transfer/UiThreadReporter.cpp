#include "transfer/UiThreadReporter.h"

#include "core/Operator.h"

#include <utility>

UiThreadReporter::UiThreadReporter(Sink sink, QObject* parent)
    : QObject(parent), m_link(std::make_shared<Link>()), m_sink(std::move(sink))
{
    m_link->target = this;
}

UiThreadReporter::UiThreadReporter(Operator& op, QObject* parent)
    : UiThreadReporter([&op](const std::string& text) { op.showMessage(text); }, parent)
{
}

UiThreadReporter::~UiThreadReporter()
{
    std::lock_guard lock(m_link->mutex);
    m_link->target = nullptr;
}

std::function<void(std::string)> UiThreadReporter::reporter() const
{
    return [link = m_link](std::string text) {
        // Held while posting, so that the target cannot be destroyed in
        // between; posting never waits for the target's thread.
        std::lock_guard lock(link->mutex);
        UiThreadReporter* target = link->target;
        if (!target)
            return;
        QMetaObject::invokeMethod(
            target,
            [target, text = std::move(text)] {
                if (target->m_sink)
                    target->m_sink(text);
            },
            Qt::QueuedConnection);
    };
}
