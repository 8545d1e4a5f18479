#pragma once

#include "core/Operator.h"

#include <QPointer>
#include <QString>
#include <deque>

class QMessageBox;
class QWidget;

// The operator seam answered with the program's modal dialogs over the
// main window.
//
// Messages are shown one box at a time: a message that arrives while a box
// is open (a failing upload every 30 seconds, a tick's notice) does not
// open a box on top of it. The same text again is counted on the open box
// as "(repeated N times)"; other texts wait their turn, each once.
class WidgetOperator : public Operator
{
public:
    explicit WidgetOperator(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> promptLine(const std::string& prompt,
                                          const std::string& initialValue) override;
    std::optional<AddZoneAnswer> askAddZone(const AddZoneRequest& request) override;
    std::optional<AddGroupAnswer> askAddGroup(const AddGroupRequest& request) override;
    std::optional<ObjectDialogValues> askObject(const ObjectDialogRequest& request) override;
    std::optional<RangeDialogAnswer> askRange(const RangeDialogRequest& request) override;
    std::optional<AutoWebValues> askAutoWeb(const AutoWebValues& current) override;
    std::optional<bool> askAdminBot(bool enabled) override;

    // The About box ("About Quorvane..." in the Help menu).
    void showAbout();

    // The texts waiting for the open box to close, oldest first.
    std::size_t pendingMessages() const { return m_pending.size(); }

    // At most this many different texts wait; more are counted and
    // reported in one last box.
    static constexpr std::size_t kMaxPending = 50;

private:
    struct Message
    {
        QString text;
        int count = 1;
    };
    static QString boxText(const Message& message);

    QWidget* m_parent;
    std::deque<Message> m_pending;
    Message m_shown;
    QPointer<QMessageBox> m_openBox;
    bool m_showing = false;
    int m_dropped = 0;
};
