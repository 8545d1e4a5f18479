#include "ui/CObjectDlg.h"

#include "core/HostAddress.h"
#include "core/TextCodec.h"
#include "ui/SortedComboBox.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

void fillGroupList(SortedComboBox* list, const std::vector<std::string>& labels,
                   const std::string& preselectLabel)
{
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const QString label = decodeText(labels[i]);
        list->addSorted(label, static_cast<int>(i));
        if (!preselectLabel.empty() && labels[i] == preselectLabel)
            list->selectByPrefix(label);
    }
}

namespace {

void addShowToggle(QLineEdit* edit)
{
    edit->setEchoMode(QLineEdit::Password);
    QAction* show = edit->addAction(edit->style()->standardIcon(QStyle::SP_DialogHelpButton),
                                    QLineEdit::TrailingPosition);
    show->setCheckable(true);
    show->setToolTip(QStringLiteral("Show the password"));
    show->setObjectName(edit->objectName() + QStringLiteral("Show"));
    QObject::connect(show, &QAction::toggled, edit, [edit](bool shown) {
        edit->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
}

QCheckBox* makeCheck(QWidget* parent, const QString& text, const QString& objectName, bool checked)
{
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(objectName);
    check->setChecked(checked);
    return check;
}

} // namespace

CObjectDlg::CObjectDlg(const ObjectDialogRequest& request, QWidget* parent)
    : ModalDialog(QStringLiteral("Add one object"), parent), m_serverMode(request.serverMode),
      m_propertiesMode(request.propertiesMode), m_refuseAddress(request.refuseAddress),
      m_values(request.values)
{
    const ObjectDialogValues& in = request.values;
    setDialogSize(199, 174);

    addStatic(QStringLiteral("Address"), 7, 7, 127, 8);
    m_address = addEdit(QStringLiteral("addressEdit"), 7, 17, 133, 12);
    m_address->setText(decodeText(in.address));
    addStatic(QStringLiteral("Port"), 144, 7, 48, 8);
    m_port = addDigitsEdit(QStringLiteral("portEdit"), 143, 17, 49, 12);
    m_port->setText(QString::number(in.port));

    addStatic(QStringLiteral("Group"), 7, 38, 110, 8);
    m_group = new SortedComboBox(this);
    m_group->setObjectName(QStringLiteral("groupList"));
    place(m_group, 7, 49, 121, 85);
    fillGroupList(m_group, request.groupLabels, request.preselectLabel);

    addStatic(QStringLiteral("rcon"), 7, 68, 74, 11);
    m_rcon = addEdit(QStringLiteral("rconEdit"), 112, 68, 80, 12);
    m_rcon->setText(decodeText(in.rconPassword));

    m_proxyPasswordLabel = addStatic(QStringLiteral("Proxy Password"), 7, 83, 102, 12);
    m_proxyPasswordLabel->setObjectName(QStringLiteral("proxyPasswordLabel"));
    m_proxyPassword = addEdit(QStringLiteral("proxyPasswordEdit"), 112, 83, 80, 12);
    m_proxyPassword->setText(decodeText(in.proxyPassword));

    m_useExternal = makeCheck(this, QStringLiteral("External Address"), QStringLiteral("externalCheck"),
                              in.useExternalAddress);
    place(m_useExternal, 7, 100, 86, 9);
    m_externalAddress = addEdit(QStringLiteral("externalAddressEdit"), 7, 114, 133, 12);
    m_externalAddress->setText(decodeText(in.externalAddress));
    m_externalPort = addDigitsEdit(QStringLiteral("externalPortEdit"), 143, 114, 49, 12);
    m_externalPort->setText(QString::number(in.externalPort));

    m_exportWeb =
        makeCheck(this, QStringLiteral("Export to web"), QStringLiteral("exportWebCheck"), in.exportWeb);
    place(m_exportWeb, 7, 133, 89, 10);
    m_autoRecord = makeCheck(this, QStringLiteral("Auto record match"), QStringLiteral("autoRecordCheck"),
                             in.autoRecord);
    place(m_autoRecord, 104, 134, 88, 10);

    m_ok = addOkButton(86, 153, 50, 14);
    m_cancel = addCancelButton(142, 153, 50, 14);

    connect(m_useExternal, &QCheckBox::toggled, this, &CObjectDlg::syncExternalEdits);
    // While the address is typed the port field follows what stands after
    // the colon; the address itself is taken apart only once it is done, so
    // that "127.0.0.1:2" typed on the way to ":27100" never splits early.
    connect(m_address, &QLineEdit::textEdited, this, &CObjectDlg::showTypedPort);
    connect(m_address, &QLineEdit::editingFinished, this, &CObjectDlg::takePortFromAddress);

    // Passwords are masked; the eye shows them while it is on.
    for (QLineEdit* secret : {m_rcon, m_proxyPassword})
        addShowToggle(secret);
    if (request.propertiesMode)
        setWindowTitle(QStringLiteral("Properties of the %1").arg(decodeText(request.editedObject)));
    if (m_serverMode) {
        enterServerMode();
    } else {
        // An object whose external address or port is its own has never
        // been given an external one.
        if (request.propertiesMode && (in.externalAddress != in.address || in.externalPort != in.port))
            m_useExternal->setChecked(true);
        // Without the AdminBot module there is nothing to record by; the
        // setting itself is kept.
        m_autoRecord->setEnabled(request.autoRecordEnabled);
    }
    syncExternalEdits();
    (request.propertiesMode ? static_cast<QWidget*>(m_rcon) : m_address)->setFocus();
}

void CObjectDlg::enterServerMode()
{
    for (QWidget* proxyOnly :
         {static_cast<QWidget*>(m_proxyPasswordLabel), static_cast<QWidget*>(m_proxyPassword),
          static_cast<QWidget*>(m_useExternal), static_cast<QWidget*>(m_externalAddress),
          static_cast<QWidget*>(m_externalPort), static_cast<QWidget*>(m_exportWeb),
          static_cast<QWidget*>(m_autoRecord)})
        proxyOnly->hide();
    // The buttons come up under the rcon row, a small gap below it, and the
    // window loses the room the proxy controls took.
    const int top = m_rcon->geometry().bottom() + 1 + unitsToPixelsY(6);
    m_ok->move(m_ok->x(), top);
    m_cancel->move(m_cancel->x(), top);
    setFixedSize(width(), height() - kServerModeShrink);
}

void CObjectDlg::syncExternalEdits()
{
    const bool on = m_useExternal->isChecked();
    m_externalAddress->setEnabled(on);
    m_externalPort->setEnabled(on);
}

void CObjectDlg::showTypedPort()
{
    if (const auto port = address::splitHostPort(m_address->text().toStdString()).port)
        m_port->setText(QString::number(*port));
}

void CObjectDlg::takePortFromAddress()
{
    const address::HostAndPort typed = address::splitHostPort(m_address->text().toStdString());
    if (!typed.port)
        return;
    m_address->setText(QString::fromStdString(typed.host));
    m_port->setText(QString::number(*typed.port));
}

bool CObjectDlg::validateAndStore()
{
    ObjectDialogValues out = m_values;
    if (!m_propertiesMode) {
        takePortFromAddress();
        if (!address::isUsableHost(m_address->text().toStdString())) {
            showMessage(QString::fromUtf8(address::kUnusableMessage));
            m_address->setFocus();
            return false;
        }
    }
    if (!readUnsigned(m_port, out.port))
        return false;
    const bool useExternal = !m_serverMode && m_useExternal->isChecked();
    if (useExternal && !readUnsigned(m_externalPort, out.externalPort))
        return false;
    if (m_group->currentIndex() < 0) {
        showMessage(QStringLiteral("Please choose the group the object belongs to."));
        m_group->setFocus();
        return false;
    }
    if (!readPassword(m_rcon, m_values.rconPassword, out.rconPassword) ||
        (!m_serverMode && !readPassword(m_proxyPassword, m_values.proxyPassword, out.proxyPassword)))
        return false;
    out.groupIndex = m_group->currentData().toInt();
    out.address = typedText(m_address->text(), m_values.address);
    out.useExternalAddress = m_useExternal->isChecked();
    out.exportWeb = m_exportWeb->isChecked();
    out.autoRecord = m_autoRecord->isChecked();
    if (useExternal) {
        out.externalAddress = typedText(m_externalAddress->text(), m_values.externalAddress);
    } else {
        out.externalAddress = out.address;
        out.externalPort = out.port;
        m_externalAddress->setText(m_address->text());
        m_externalPort->setText(QString::number(out.port));
    }
    // All or nothing: with an address the document refuses, no other field
    // is taken either, and the operator corrects it here.
    if (m_refuseAddress) {
        if (const auto refusal = m_refuseAddress(out.address, out.port)) {
            showMessage(decodeText(*refusal));
            m_address->setFocus();
            return false;
        }
    }
    m_values = out;
    return true;
}
