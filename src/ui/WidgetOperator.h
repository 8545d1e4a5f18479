#pragma once

#include "core/Operator.h"

class QWidget;

// The operator seam answered with the program's modal dialogs over the
// main window.
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

private:
    QWidget* m_parent;
};
