#include "ui/WidgetOperator.h"

#include "core/TextCodec.h"
#include "layout/RangeValidation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHostAddress>
#include <QIntValidator>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>

namespace {

const QString kTitle = QStringLiteral("Quorvane");

QComboBox* levelChoice(QWidget* parent, int presetIndex)
{
    auto* levels = new QComboBox(parent);
    for (int level = 1; level <= 5; ++level)
        levels->addItem(QString::number(level));
    levels->setCurrentIndex(presetIndex >= 0 && presetIndex < 5 ? presetIndex : -1);
    return levels;
}

QComboBox* groupChoice(QWidget* parent, const std::vector<std::string>& labels, const std::string& preselect)
{
    auto* groups = new QComboBox(parent);
    for (std::size_t i = 0; i < labels.size(); ++i)
        groups->addItem(decodeText(labels[i]), static_cast<int>(i));
    groups->model()->sort(0);
    groups->setCurrentIndex(preselect.empty() ? -1 : groups->findText(decodeText(preselect), Qt::MatchStartsWith));
    return groups;
}

QLineEdit* portEdit(QWidget* parent, std::uint32_t port)
{
    auto* edit = new QLineEdit(QString::number(port), parent);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,10}")), edit));
    return edit;
}

struct FormDialog
{
    explicit FormDialog(QWidget* parent, const QString& caption) : dialog(parent), form(&dialog)
    {
        dialog.setWindowTitle(caption);
    }
    bool run()
    {
        if (!buttonsAdded) {
            addButtons();
            buttonsAdded = true;
        }
        return dialog.exec() == QDialog::Accepted;
    }
    void addButtons()
    {
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form.addRow(buttons);
    }
    QDialog dialog;
    bool buttonsAdded = false;
    QFormLayout form;
};

} // namespace

void WidgetOperator::showMessage(const std::string& text)
{
    QMessageBox::warning(m_parent, kTitle, decodeText(text));
}

bool WidgetOperator::askYesNo(const std::string& text)
{
    return QMessageBox::question(m_parent, kTitle, decodeText(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<std::string> WidgetOperator::promptLine(const std::string& prompt, const std::string& initialValue)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, kTitle, decodeText(prompt), QLineEdit::Normal,
                                               decodeText(initialValue), &ok);
    if (!ok)
        return std::nullopt;
    return encodeTyped(text);
}

std::optional<AddZoneAnswer> WidgetOperator::askAddZone(const AddZoneRequest& request)
{
    FormDialog ui(m_parent, QStringLiteral("Add Zone"));
    auto* name = new QLineEdit(&ui.dialog);
    auto* level = levelChoice(&ui.dialog, request.presetLevelIndex);
    ui.form.addRow(QStringLiteral("Name"), name);
    ui.form.addRow(QStringLiteral("Level"), level);
    if (!ui.run())
        return std::nullopt;
    return AddZoneAnswer{encodeTyped(name->text()), level->currentIndex()};
}

std::optional<AddGroupAnswer> WidgetOperator::askAddGroup(const AddGroupRequest& request)
{
    FormDialog ui(m_parent, QStringLiteral("Add a Group"));
    auto* zone = new QComboBox(&ui.dialog);
    for (const std::string& zoneName : request.zoneNames)
        zone->addItem(decodeText(zoneName));
    auto* name = new QLineEdit(&ui.dialog);
    auto* level = levelChoice(&ui.dialog, -1);
    ui.form.addRow(QStringLiteral("Zone"), zone);
    ui.form.addRow(QStringLiteral("Name"), name);
    ui.form.addRow(QStringLiteral("Level"), level);
    if (!ui.run())
        return std::nullopt;
    return AddGroupAnswer{zone->currentIndex(), encodeTyped(name->text()), level->currentIndex()};
}

std::optional<ObjectDialogValues> WidgetOperator::askObject(const ObjectDialogRequest& request)
{
    const ObjectDialogValues& in = request.values;
    FormDialog ui(m_parent, QStringLiteral("Add one object"));
    auto* address = new QLineEdit(decodeText(in.address), &ui.dialog);
    auto* port = portEdit(&ui.dialog, in.port);
    address->setEnabled(!request.propertiesMode);
    port->setEnabled(!request.propertiesMode);
    auto* group = groupChoice(&ui.dialog, request.groupLabels, request.preselectLabel);
    auto* rcon = new QLineEdit(decodeText(in.rconPassword), &ui.dialog);
    ui.form.addRow(QStringLiteral("Address"), address);
    ui.form.addRow(QStringLiteral("Port"), port);
    ui.form.addRow(QStringLiteral("Group"), group);
    ui.form.addRow(QStringLiteral("rcon"), rcon);
    auto* proxyPassword = new QLineEdit(decodeText(in.proxyPassword), &ui.dialog);
    auto* useExternal = new QCheckBox(QStringLiteral("External Address"), &ui.dialog);
    auto* externalAddress = new QLineEdit(decodeText(in.externalAddress), &ui.dialog);
    auto* externalPort = portEdit(&ui.dialog, in.externalPort);
    auto* exportWeb = new QCheckBox(QStringLiteral("Export to web"), &ui.dialog);
    auto* autoRecord = new QCheckBox(QStringLiteral("Auto record match"), &ui.dialog);
    useExternal->setChecked(in.useExternalAddress);
    exportWeb->setChecked(in.exportWeb);
    autoRecord->setChecked(in.autoRecord);
    autoRecord->setEnabled(request.autoRecordEnabled);
    auto syncExternal = [=] {
        externalAddress->setEnabled(useExternal->isChecked());
        externalPort->setEnabled(useExternal->isChecked());
    };
    QObject::connect(useExternal, &QCheckBox::toggled, &ui.dialog, syncExternal);
    syncExternal();
    if (!request.serverMode) {
        ui.form.addRow(QStringLiteral("Proxy Password"), proxyPassword);
        ui.form.addRow(useExternal);
        ui.form.addRow(externalAddress, externalPort);
        ui.form.addRow(exportWeb);
        ui.form.addRow(autoRecord);
    }
    while (ui.run()) {
        if (group->currentIndex() < 0) {
            showMessage("Please choose the group of the object.");
            continue;
        }
        ObjectDialogValues out;
        out.address = encodeTyped(address->text());
        out.port = port->text().toUInt();
        out.groupIndex = group->currentData().toInt();
        out.rconPassword = encodeTyped(rcon->text());
        out.proxyPassword = encodeTyped(proxyPassword->text());
        out.useExternalAddress = useExternal->isChecked();
        out.externalAddress = encodeTyped(externalAddress->text());
        out.externalPort = externalPort->text().toUInt();
        out.exportWeb = exportWeb->isChecked();
        out.autoRecord = autoRecord->isChecked();
        return out;
    }
    return std::nullopt;
}

std::optional<RangeDialogAnswer> WidgetOperator::askRange(const RangeDialogRequest& request)
{
    FormDialog ui(m_parent, QStringLiteral("Add a range of object"));
    auto* from = new QLineEdit(decodeText(request.presetAddress), &ui.dialog);
    auto* to = new QLineEdit(decodeText(request.presetAddress), &ui.dialog);
    auto* portFrom = portEdit(&ui.dialog, request.firstPort);
    auto* portTo = portEdit(&ui.dialog, request.lastPort);
    auto* group = groupChoice(&ui.dialog, request.groupLabels, request.preselectLabel);
    auto* type = new QComboBox(&ui.dialog);
    type->addItems({QStringLiteral("HLTV"), QStringLiteral("Server")});
    type->setCurrentIndex(request.typeIndex);
    auto* rcon = new QLineEdit(&ui.dialog);
    rcon->setEchoMode(QLineEdit::Password);
    ui.form.addRow(QStringLiteral("Address from"), from);
    ui.form.addRow(QStringLiteral("Address to"), to);
    ui.form.addRow(QStringLiteral("Port from"), portFrom);
    ui.form.addRow(QStringLiteral("Port to"), portTo);
    ui.form.addRow(QStringLiteral("Group"), group);
    ui.form.addRow(QStringLiteral("Object Type"), type);
    ui.form.addRow(QStringLiteral("rcon"), rcon);
    while (ui.run()) {
        const QHostAddress first(from->text());
        const QHostAddress last(to->text());
        if (first.protocol() != QAbstractSocket::IPv4Protocol || last.protocol() != QAbstractSocket::IPv4Protocol) {
            showMessage("Please enter two IPv4 addresses.");
            continue;
        }
        const auto bytesOf = [](quint32 value) {
            return std::array<int, 4>{static_cast<int>(value >> 24), static_cast<int>((value >> 16) & 0xFF),
                                      static_cast<int>((value >> 8) & 0xFF), static_cast<int>(value & 0xFF)};
        };
        const auto a = bytesOf(first.toIPv4Address());
        const auto b = bytesOf(last.toIPv4Address());
        RangeDialogAnswer out;
        out.firstPort = portFrom->text().toUInt();
        out.lastPort = portTo->text().toUInt();
        const auto problems = validateRange(a, b, out.firstPort, out.lastPort);
        for (const std::string& problem : problems)
            showMessage(problem);
        if (!problems.empty())
            continue;
        if (group->currentIndex() < 0) {
            showMessage("Please choose the group of the objects.");
            continue;
        }
        out.prefix = std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + ".";
        out.firstByte = a[3];
        out.lastByte = b[3];
        out.groupIndex = group->currentData().toInt();
        out.typeIndex = type->currentIndex();
        out.rconPassword = encodeTyped(rcon->text());
        return out;
    }
    return std::nullopt;
}

std::optional<AutoWebValues> WidgetOperator::askAutoWeb(const AutoWebValues& current)
{
    FormDialog ui(m_parent, QStringLiteral("AutoWeb Config"));
    auto* enabled = new QCheckBox(QStringLiteral("Enable AutoWeb Module"), &ui.dialog);
    enabled->setChecked(current.enabled);
    auto* server = new QLineEdit(decodeText(current.ftpServer), &ui.dialog);
    auto* login = new QLineEdit(decodeText(current.login), &ui.dialog);
    auto* password = new QLineEdit(decodeText(current.password), &ui.dialog);
    password->setEchoMode(QLineEdit::Password);
    auto* remote = new QLineEdit(decodeText(current.remoteFile), &ui.dialog);
    auto* interval = new QLineEdit(QString::number(current.updateInterval), &ui.dialog);
    interval->setEnabled(false);
    ui.form.addRow(enabled);
    ui.form.addRow(QStringLiteral("FTP Server"), server);
    ui.form.addRow(QStringLiteral("Login"), login);
    ui.form.addRow(QStringLiteral("Password"), password);
    ui.form.addRow(QStringLiteral("Remote Filename"), remote);
    ui.form.addRow(QStringLiteral("Update interval in seconds"), interval);
    if (!ui.run())
        return std::nullopt;
    AutoWebValues values = current;
    values.enabled = enabled->isChecked();
    values.ftpServer = encodeTyped(server->text());
    values.login = encodeTyped(login->text());
    values.password = encodeTyped(password->text());
    values.remoteFile = encodeTyped(remote->text());
    return values;
}

std::optional<bool> WidgetOperator::askAdminBot(bool enabled)
{
    FormDialog ui(m_parent, QStringLiteral("Adminbot module"));
    auto* text = new QLabel(QStringLiteral(
        "The adminbot-amx module need the HL servers to be controled by AdminBot-amx pluggin.\n\nIf enabled, this "
        "will unlock the Auto-Record options and make HTML informations provided by the AutoWeb module more accurate."));
    text->setWordWrap(true);
    auto* box = new QCheckBox(QStringLiteral("Enable Adminbot module"), &ui.dialog);
    box->setChecked(enabled);
    ui.form.addRow(text);
    ui.form.addRow(box);
    if (!ui.run())
        return std::nullopt;
    return box->isChecked();
}
