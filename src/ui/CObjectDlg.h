#pragma once

#include "core/Operator.h"
#include "ui/ModalDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SortedComboBox;

// "Add one object": adds a game server or a proxy, and edits one
// (properties mode, titled with the object's kind). Passwords are masked,
// with a toggle that shows them. In server mode
// the proxy-only controls are hidden and the window is 100 pixels shorter.
class CObjectDlg : public ModalDialog
{
    Q_OBJECT

public:
    explicit CObjectDlg(const ObjectDialogRequest& request, QWidget* parent = nullptr);

    // The values taken by the last accepted OK; groupIndex indexes the
    // request's groupLabels. With "External Address" off, the external
    // address and port are the address and port.
    const ObjectDialogValues& values() const { return m_values; }

    // How much shorter the window is in server mode, in pixels.
    static constexpr int kServerModeShrink = 100;

protected:
    bool validateAndStore() override;

private:
    void enterServerMode();
    void syncExternalEdits();
    // "host:port" in the address field, once typing is done or pasted: the
    // port moves into the port field.
    void takePortFromAddress();
    // The port of a "host:port" being typed, shown in the port field.
    void showTypedPort();

    bool m_serverMode;
    bool m_propertiesMode;
    ObjectDialogRequest::RefuseAddress m_refuseAddress;
    QLineEdit* m_address;
    QLineEdit* m_port;
    SortedComboBox* m_group;
    QLineEdit* m_rcon;
    QLabel* m_proxyPasswordLabel;
    QLineEdit* m_proxyPassword;
    QCheckBox* m_useExternal;
    QLineEdit* m_externalAddress;
    QLineEdit* m_externalPort;
    QCheckBox* m_exportWeb;
    QCheckBox* m_autoRecord;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    ObjectDialogValues m_values;
};

// Fills a group list with the "zone/group" labels, each entry carrying its
// index in labels. Adding the entry whose label is preselectLabel searches
// for it by prefix, as the list stands at that moment.
void fillGroupList(SortedComboBox* list, const std::vector<std::string>& labels,
                   const std::string& preselectLabel);
