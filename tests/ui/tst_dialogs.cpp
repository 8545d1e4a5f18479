#include "core/HostAddress.h"
#include "layout/RangeValidation.h"
#include "ui/CAddGroupDlg.h"
#include "ui/CAddRangeDlg.h"
#include "ui/CAddZoneDlg.h"
#include "ui/CAutoWebDlg.h"
#include "ui/CObjectDlg.h"
#include "ui/WidgetOperator.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const std::vector<std::string> kGroups = {"LAN Local/Servers", "LAN Local/HLTV Local", "Internet/HLTV Internet"};

template <typename T> T* child(QWidget& dialog, const char* name)
{
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no control named %s", name);
    return widget;
}

void clickOk(QWidget& dialog)
{
    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
}

// Types text over the field's, key by key; unlike QTest::keyClicks, also letters beyond ASCII.
void retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QStringList entries(QComboBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

ObjectDialogRequest proxyRequest()
{
    ObjectDialogRequest request;
    request.values.address = request.values.externalAddress = "127.168.0.10";
    request.values.port = request.values.externalPort = 27020;
    request.groupLabels = kGroups;
    request.preselectLabel = kGroups[1];
    request.autoRecordEnabled = true;
    return request;
}

// Drives the modal dialog the code under test opens with exec(); whatever
// happens, the dialog is closed afterwards so exec() returns.
void whenDialogOpens(std::function<void(QDialog&)> drive, int attempts = 100)
{
    QTimer::singleShot(0, [drive, attempts] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (attempts > 1)
                whenDialogOpens(drive, attempts - 1);
            return;
        }
        drive(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

    QStringList messages;
    // Shown, with its messages kept here instead of boxes.
    void open(ModalDialog& dialog)
    {
        messages.clear();
        dialog.setMessageHandler([this](const QString& text) { messages << text; });
        dialog.show();
    }
    // Presses OK: what the dialog said, then whether it is still "open" or "accepted".
    QStringList ok(QDialog& dialog)
    {
        clickOk(dialog);
        QStringList said = std::exchange(messages, {});
        said << (dialog.isVisible() ? "open" : dialog.result() == QDialog::Accepted ? "accepted" : "rejected");
        return said;
    }

private slots:
    void groupDialogSelectsByPrefixSearch_data()
    {
        QTest::addColumn<QStringList>("zones");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("zoneIndex");
        QTest::addRow("A then AB") << QStringList{"A", "AB"} << "AB" << 1;
        QTest::addRow("AB then A") << QStringList{"AB", "A"} << "AB" << 0;
        QTest::addRow("search ignores case") << QStringList{"lan party", "LAN"} << "lan party" << 0;
        QTest::addRow("last zone otherwise") << QStringList{"Internet", "LAN Local"} << "LAN Local" << 1;
    }

    void groupDialogSelectsByPrefixSearch()
    {
        QFETCH(QStringList, zones);
        QFETCH(QString, selected);
        QFETCH(int, zoneIndex);
        AddGroupRequest request;
        for (const QString& zone : zones)
            request.zoneNames.push_back(zone.toStdString());
        CAddGroupDlg dialog(request);
        open(dialog);
        auto* list = child<QComboBox>(dialog, "zoneList");
        QCOMPARE(list->currentText(), selected);
        QStringList sorted = zones;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(entries(list), sorted);

        QTest::keyClicks(child<QLineEdit>(dialog, "nameEdit"), QStringLiteral("Casters"));
        QCOMPARE(ok(dialog), QStringList{"accepted"});
        QCOMPARE(dialog.answer().zoneIndex, zoneIndex);
        QCOMPARE(dialog.answer().name, std::string("Casters"));
        QCOMPARE(dialog.answer().levelIndex, -1);
    }

    // Groups are listed sorted; OK needs one, and answers its index in the request.
    void objectDialogNeedsAGroupAndAnswersItsIndex()
    {
        CObjectDlg preselected(proxyRequest());
        QCOMPARE(child<QComboBox>(preselected, "groupList")->currentText(), QStringLiteral("LAN Local/HLTV Local"));
        ObjectDialogRequest request = proxyRequest();
        request.preselectLabel.clear();
        CObjectDlg dialog(request);
        open(dialog);
        auto* list = child<QComboBox>(dialog, "groupList");
        QCOMPARE(entries(list), (QStringList{"Internet/HLTV Internet", "LAN Local/HLTV Local", "LAN Local/Servers"}));
        QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(ok(dialog), (QStringList{"Please choose the group the object belongs to.", "open"}));
        list->setCurrentIndex(2);
        QCOMPARE(ok(dialog), QStringList{"accepted"});
        QCOMPARE(dialog.values().groupIndex, 0);
    }

    // Properties name the kind of object, let the address and port be
    // changed, and mask the passwords until the operator asks to see them.
    // OK with an address the document refuses takes nothing, not even the
    // typed password: the dialog stays open with the reason, for a correction.
    void propertiesMaskPasswordsAndKeepARefusedAddressOpen()
    {
        ObjectDialogRequest request = proxyRequest();
        request.values.address = request.values.externalAddress = "127.0.0.5";
        request.values.rconPassword = "old";
        request.propertiesMode = true;
        request.editedObject = "HLTV proxy 127.0.0.5:27020";
        request.refuseAddress = [](const std::string& address, std::uint32_t port) -> std::optional<std::string> {
            if (address == "127.0.0.9" && port == 27020)
                return std::string("This Object already exists\nGroup : Servers\nZone : LAN Local");
            return std::nullopt;
        };
        for (bool serverMode : {false, true}) {
            request.serverMode = serverMode;
            CObjectDlg dialog(request);
            open(dialog);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Properties of the HLTV proxy 127.0.0.5:27020"));
            QVERIFY(child<QLineEdit>(dialog, "portEdit")->isEnabled());
            auto* rcon = child<QLineEdit>(dialog, "rconEdit");
            QCOMPARE(rcon->echoMode(), QLineEdit::Password);
            rcon->findChild<QAction*>(QStringLiteral("rconEditShow"))->toggle();
            QCOMPARE(rcon->echoMode(), QLineEdit::Normal);
            QCOMPARE(rcon->text(), QStringLiteral("old"));
            auto* address = child<QLineEdit>(dialog, "addressEdit");
            retype(address, QStringLiteral("127.0.0.9"));
            retype(rcon, QStringLiteral("typed"));
            QCOMPARE(ok(dialog),
                     (QStringList{"This Object already exists\nGroup : Servers\nZone : LAN Local", "open"}));
            QCOMPARE(dialog.values().rconPassword, std::string("old"));
            QCOMPARE(dialog.values().address, std::string("127.0.0.5"));
            retype(address, QStringLiteral("127.0.0.8"));
            QCOMPARE(ok(dialog), QStringList{"accepted"});
            QCOMPARE(dialog.values().address, std::string("127.0.0.8"));
            QCOMPARE(dialog.values().rconPassword, std::string("typed"));
        }
    }

    // The external address is checked when it is the object's own; left
    // off, it follows what was typed above. Port fields take unsigned
    // numbers only.
    void externalAddressFollowsAndPortsTakeUnsignedNumbers()
    {
        ObjectDialogRequest request = proxyRequest();
        request.propertiesMode = true;
        request.values.externalPort = 27021; // an external address of its own: checked
        QVERIFY(child<QCheckBox>(*std::make_unique<CObjectDlg>(request), "externalCheck")->isChecked());
        CObjectDlg dialog(proxyRequest());
        open(dialog);
        auto* check = child<QCheckBox>(dialog, "externalCheck");
        auto* externalAddress = child<QLineEdit>(dialog, "externalAddressEdit");
        auto* externalPort = child<QLineEdit>(dialog, "externalPortEdit");
        QVERIFY(!externalAddress->isEnabled() && !externalPort->isEnabled());
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(externalAddress->isEnabled() && externalPort->isEnabled());
        QTest::mouseClick(check, Qt::LeftButton);
        retype(child<QLineEdit>(dialog, "addressEdit"), QStringLiteral("127.0.0.7"));
        auto* port = child<QLineEdit>(dialog, "portEdit");
        retype(port, QStringLiteral("27a01-"));
        QCOMPARE(port->text(), QStringLiteral("2701"));

        // Text set from outside bypasses the keyboard filter.
        for (const QString& bad : {QStringLiteral("12x"), QString(), QStringLiteral("4294967296")}) {
            port->setText(bad);
            QCOMPARE(ok(dialog), (QStringList{"Please enter a positive integer.", "open"}));
        }
        retype(port, QStringLiteral("4294967295"));
        // Ticked, the external port is checked too.
        QTest::mouseClick(check, Qt::LeftButton);
        externalPort->setText(QStringLiteral("12x"));
        QCOMPARE(ok(dialog), (QStringList{"Please enter a positive integer.", "open"}));
        QTest::mouseClick(check, Qt::LeftButton);
        QCOMPARE(ok(dialog), QStringList{"accepted"});
        QCOMPARE(dialog.values().port, 4294967295u);
        QCOMPARE(dialog.values().externalAddress, std::string("127.0.0.7"));
        QCOMPARE(dialog.values().externalPort, 4294967295u);
        QCOMPARE(externalAddress->text(), QStringLiteral("127.0.0.7"));
    }

    // "host:port" pasted into the address field fills the port field; an
    // address that cannot be used keeps the dialog open.
    void addressFieldTakesHostAndPort_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address"); // empty: refused
        QTest::addColumn<QString>("port");
        QTest::addRow("address and port") << "127.0.0.7:27999" << "127.0.0.7" << "27999";
        QTest::addRow("host name and port") << "tv.example.org:27020" << "tv.example.org" << "27020";
        QTest::addRow("two ports") << "127.0.0.1:27999:27015" << QString() << QString();
        QTest::addRow("five numbers") << "127.0.0.1.5" << QString() << QString();
        QTest::addRow("a blank inside") << "my server" << QString() << QString();
        QTest::addRow("empty") << QString() << QString() << QString();
    }

    void addressFieldTakesHostAndPort()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QFETCH(QString, port);
        ObjectDialogRequest request = proxyRequest();
        request.serverMode = true;
        CObjectDlg dialog(request);
        open(dialog);
        auto* addressEdit = child<QLineEdit>(dialog, "addressEdit");
        addressEdit->selectAll();
        QTest::keyClick(addressEdit, Qt::Key_Delete);
        addressEdit->insert(typed); // as a paste does
        if (address.isEmpty()) {
            QCOMPARE(ok(dialog), (QStringList{QString::fromUtf8(address::kUnusableMessage), "open"}));
            return;
        }
        QCOMPARE(ok(dialog), QStringList{"accepted"});
        QCOMPARE(child<QLineEdit>(dialog, "portEdit")->text(), port);
        QCOMPARE(QString::fromStdString(dialog.values().address), address);
        QCOMPARE(dialog.values().port, port.toUInt());
    }

    // Typed key by key, "host:port" ends as it does pasted: the port field
    // follows the typing, the address is taken apart once it is done.
    void addressTypedKeyByKeyKeepsItsPort()
    {
        ObjectDialogRequest request = proxyRequest();
        request.serverMode = true;
        CObjectDlg dialog(request);
        open(dialog);
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* addressEdit = child<QLineEdit>(dialog, "addressEdit");
        auto* portEdit = child<QLineEdit>(dialog, "portEdit");
        addressEdit->setFocus();
        addressEdit->selectAll();
        QTest::keyClick(addressEdit, Qt::Key_Delete);
        QTest::keyClicks(addressEdit, QStringLiteral("127.0.0.1:2"));
        QCOMPARE(portEdit->text(), QStringLiteral("2"));
        QTest::keyClicks(addressEdit, QStringLiteral("7100"));
        QCOMPARE(addressEdit->text(), QStringLiteral("127.0.0.1:27100"));
        QCOMPARE(portEdit->text(), QStringLiteral("27100"));
        QTest::keyClick(addressEdit, Qt::Key_Tab); // done: taken apart
        QCOMPARE(addressEdit->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(ok(dialog), QStringList{"accepted"});
        QCOMPARE(dialog.values().address, std::string("127.0.0.1"));
        QCOMPARE(dialog.values().port, 27100u);
    }

    // The box shows how the last upload ended, kept current while open, and
    // Upload Now publishes with the values typed, before OK. The interval
    // field is disabled: a stored value outside its range must not keep the
    // dialog from closing, and stays as it was.
    void autoWebUploadsNowAndKeepsAnIntervalOutOfRange()
    {
        std::string last = "Last upload: none yet";
        std::vector<AutoWebValues> uploads;
        AutoWebValues values;
        values.ftpServer = "127.0.0.1:2121";
        values.updateInterval = 5;
        values.login = "caf\xE9"; // an old file's Windows-1252
        values.lastUpload = [&last] { return last; };
        values.uploadNow = [&uploads](const AutoWebValues& typed) { uploads.push_back(typed); };
        CAutoWebDlg dialog(values);
        open(dialog);
        QVERIFY(!child<QLineEdit>(dialog, "intervalEdit")->isEnabled());
        auto* label = child<QLabel>(dialog, "lastUploadLabel");
        QCOMPARE(label->text(), QStringLiteral("Last upload: none yet"));
        retype(child<QLineEdit>(dialog, "remoteFileEdit"), QString::fromUtf8("/été.html"));
        QTest::mouseClick(child<QPushButton>(dialog, "uploadNowButton"), Qt::LeftButton);
        QCOMPARE(uploads.size(), std::size_t{1});
        QCOMPARE(uploads[0].remoteFile, std::string("/\xC3\xA9t\xC3\xA9.html"));
        QCOMPARE(uploads[0].ftpServer, std::string("127.0.0.1:2121"));
        QVERIFY(dialog.isVisible()); // the box stays open
        last = "Last upload: 21:04:31, failed: login refused";
        QTRY_COMPARE(label->text(), QStringLiteral("Last upload: 21:04:31, failed: login refused"));
        QCOMPARE(ok(dialog), QStringList{"accepted"});
        QCOMPARE(dialog.values().updateInterval, 5);
        QCOMPARE(dialog.values().login, std::string("caf\xE9"));
        QCOMPARE(dialog.values().remoteFile, std::string("/\xC3\xA9t\xC3\xA9.html"));
    }

    // A quote or a line break in a password would end its quoted field in
    // every rcon datagram: refused where it is typed.
    void passwordsThatBreakTheirQuotesAreRefused_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        for (const char* edit : {"rconEdit", "proxyPasswordEdit"}) {
            QTest::addRow("%s quote", edit) << edit << QStringLiteral("pw\"x") << false;
            QTest::addRow("%s line feed", edit) << edit << QStringLiteral("pw\nx") << false;
            QTest::addRow("%s semicolon", edit) << edit << QStringLiteral("pw;x") << true;
        }
    }

    void passwordsThatBreakTheirQuotesAreRefused()
    {
        QFETCH(QString, edit);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        CObjectDlg dialog(proxyRequest());
        open(dialog);
        child<QLineEdit>(dialog, edit.toLatin1().constData())->setText(password);
        const QStringList said = ok(dialog);
        QCOMPARE(said.size(), accepted ? 1 : 2);
        QCOMPARE(said.last(), QLatin1String(accepted ? "accepted" : "open"));
        QVERIFY(accepted || said.front().startsWith(QStringLiteral("A password cannot hold")));
    }

    // Both ranges refused at once keep the dialog open. "GTV" stands in the
    // type list beside "HLTV" and "Server"; each entry answers its kind,
    // whatever its place in the sorted list.
    void rangeDialogShowsBothMessagesAndAnswersTheType()
    {
        RangeDialogRequest request;
        request.presetAddress = "127.0.0.5";
        request.groupLabels = kGroups;
        request.preselectLabel = kGroups[0];
        request.firstPort = request.lastPort = 27015;
        request.typeIndex = RangeTypeServer;
        CAddRangeDlg dialog(request);
        open(dialog);
        auto* types = child<QComboBox>(dialog, "typeList");
        QCOMPARE(entries(types), (QStringList{"GTV", "HLTV", "Server"}));
        QCOMPARE(types->currentText(), QStringLiteral("Server"));
        types->setCurrentIndex(0);
        auto* to = child<QLineEdit>(dialog, "addressToEdit");
        auto* portFrom = child<QLineEdit>(dialog, "portFromEdit");
        retype(to, QStringLiteral("127.0.1.5"));
        retype(portFrom, QStringLiteral("27016"));
        QCOMPARE(ok(dialog), (QStringList{kAddressRangeMessage, kPortRangeMessage, "open"}));
        retype(to, QStringLiteral("127.0.0.9"));
        retype(portFrom, QStringLiteral("27014"));
        QTest::keyClicks(child<QLineEdit>(dialog, "rconEdit"), QStringLiteral("pw"));
        QCOMPARE(ok(dialog), QStringList{"accepted"});
        const RangeDialogAnswer& answer = dialog.answer();
        QCOMPARE(answer.typeIndex, int(RangeTypeGTV));
        QCOMPARE(answer.prefix, std::string("127.0.0."));
        QCOMPARE(answer.firstByte, 5);
        QCOMPARE(answer.lastByte, 9);
        QCOMPARE(answer.firstPort, 27014u);
        QCOMPARE(answer.lastPort, 27015u);
        QCOMPARE(answer.rconPassword, std::string("pw"));
    }

    void operatorReturnsAnswersAndShowsNamesAsText()
    {
        WidgetOperator op;
        whenDialogOpens([](QDialog& dialog) {
            QTest::keyClicks(child<QLineEdit>(dialog, "nameEdit"), QStringLiteral("Casters"));
            clickOk(dialog);
        });
        const auto group = op.askAddGroup({{"Internet", "LAN Local"}});
        QVERIFY(group.has_value());
        QCOMPARE(group->zoneIndex, 1);
        QCOMPARE(group->name, std::string("Casters"));

        whenDialogOpens([](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
        QVERIFY(!op.askObject(proxyRequest()).has_value());

        // Names are chosen by players: a box shows them literally, and never
        // loads what markup would name (an "image" of /dev/zero never ends).
        QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("big.png"));
        QImage(300, 300, QImage::Format_RGB32).save(picture);
        const std::string name = "<img src=" + picture.toStdString() + "><font size=7>X</font><img src=/dev/zero>";
        QString shown;
        int labelHeight = 0;
        Qt::TextFormat format = Qt::RichText;
        whenDialogOpens([&](QDialog& box) {
            auto* label = child<QLabel>(box, "qt_msgbox_label");
            shown = label->text();
            format = label->textFormat();
            labelHeight = label->sizeHint().height();
            QTest::keyClick(&box, Qt::Key_Y, Qt::AltModifier);
        });
        op.askYesNo("Are you sure you want to kick " + name + " ?");
        QCOMPARE(shown, QString::fromStdString("Are you sure you want to kick " + name + " ?"));
        QCOMPARE(format, Qt::PlainText);
        QVERIFY2(labelHeight < 100, "the picture was loaded");

        whenDialogOpens([&](QDialog& box) { shown = child<QLabel>(box, "qt_msgbox_label")->text(); });
        op.showMessage("Connect failed for " + name + ":27015");
        QCOMPARE(shown, QString::fromStdString("Connect failed for " + name + ":27015"));
    }

    // A day of a dead FTP server must not stack thousands of boxes: one
    // box at a time, repeats counted on it, other texts after it.
    void oneBoxAtATime()
    {
        WidgetOperator op;
        QStringList shown;
        int boxesOpen = 0;
        const auto countBoxes = [] {
            int boxes = 0;
            for (QWidget* widget : QApplication::topLevelWidgets())
                boxes += widget->isVisible() && qobject_cast<QMessageBox*>(widget) ? 1 : 0;
            return boxes;
        };
        whenDialogOpens([&](QDialog& box) {
            for (int i = 0; i < 3; ++i)
                op.showMessage("FTP down");
            op.showMessage("Other");
            op.showMessage("Other");
            boxesOpen = countBoxes();
            shown << child<QLabel>(box, "qt_msgbox_label")->text();
            whenDialogOpens([&](QDialog& next) { shown << child<QLabel>(next, "qt_msgbox_label")->text(); });
        });
        op.showMessage("FTP down");
        QCOMPARE(boxesOpen, 1);
        QCOMPARE(shown, (QStringList{QStringLiteral("FTP down\n\n(repeated 4 times)"),
                                     QStringLiteral("Other\n\n(repeated 2 times)")}));
        QCOMPARE(op.pendingMessages(), std::size_t{0});
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
