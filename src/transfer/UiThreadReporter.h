#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

class Operator;

// Carries messages from a worker thread to the thread this object lives in
// (the user-interface thread): each call of reporter() posts the text and
// returns at once; the sink shows it later, from that thread's event loop.
//
//   UiThreadReporter messages(*context.op);           // on the UI thread
//   ftpJobs.SetReporter(messages.reporter());
//
// Texts posted after this object is destroyed are dropped, so the order in
// which it and the manager are destroyed does not matter.
class UiThreadReporter : public QObject
{
public:
    using Sink = std::function<void(const std::string&)>;

    explicit UiThreadReporter(Sink sink, QObject* parent = nullptr);
    // Shows each text with op.showMessage.
    explicit UiThreadReporter(Operator& op, QObject* parent = nullptr);
    ~UiThreadReporter() override;

    // Callable from any thread.
    std::function<void(std::string)> reporter() const;

private:
    struct Link
    {
        std::mutex mutex;
        UiThreadReporter* target = nullptr;
    };

    std::shared_ptr<Link> m_link;
    Sink m_sink;
};
