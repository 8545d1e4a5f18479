#include "layout/CQuorvaneDoc.h"
#include "layout/CommandIds.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/OobDatagrams.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"
#include "ui/CControlView.h"
#include "ui/PlayerTable.h"
#include "ui/Sparkline.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {

using Sent = std::vector<std::string>;

QStringList rows(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// The table's rows as shown, each as "name" or "name|frags|time".
QStringList rows(const PlayerTable* table, bool all = false)
{
    QStringList texts;
    for (int r = 0; r < table->rowCount(); ++r) {
        QString row = table->item(r, PlayerTable::NameColumn)->text();
        if (all)
            row += QLatin1Char('|') + table->item(r, PlayerTable::FragsColumn)->text() + QLatin1Char('|') +
                   table->item(r, PlayerTable::TimeColumn)->text();
        texts << row;
    }
    return texts;
}

void selectRows(PlayerTable* table, std::initializer_list<int> rows)
{
    for (int row : rows)
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QStringList selectedNames(const PlayerTable* table)
{
    QStringList names;
    for (const PlayerRow& row : table->selectedPlayers())
        names << QString::fromStdString(row.name);
    return names;
}

} // namespace

class TestControlView : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<CQuorvaneDoc> doc;
    std::unique_ptr<CControlView> view;
    std::unique_ptr<LoopbackPeer> peer; // every object talks to it
    QLineEdit *name, *status, *command;
    QListWidget *console, *commands;
    PlayerTable* players;
    QPushButton *startRecord, *stopRecording, *send, *kick;

    template <class T> T* add(CSStatus state)
    {
        auto object = std::make_unique<T>(env.context());
        object->m_strRconPassword = "pw";
        if (!peer->attach(*object))
            qFatal("the object's channel did not connect");
        object->m_nStatus = state;
        doc->m_objects.push_back(std::move(object));
        return static_cast<T*>(doc->m_objects.back().get());
    }
    void pick(CCommonObject* object)
    {
        doc->SetSelection(nullptr, object);
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
    }
    // Console, StartRecord, StopRecording, command, Send, status, players, Kick.
    QList<bool> enabled()
    {
        QList<bool> states;
        for (QWidget* w : std::initializer_list<QWidget*>{console, startRecord, stopRecording, command, send,
                                                          status, players, kick})
            states << w->isEnabled();
        return states;
    }
    CHLServer* controlledServer()
    {
        CHLServer* server = add<CHLServer>(CSStatus_CONTROL);
        server->m_nChallenge = 777;
        server->m_nPlayers = 3;
        server->m_strPlayers = {"Ann", "Bob", "Cy"};
        pick(server);
        return server;
    }
    template <class W> void find(W*& field, const char* objectName)
    {
        if (!(field = view->findChild<W*>(QLatin1String(objectName))))
            qFatal("the panel has no %s", objectName);
    }
    void enter(const QString& text)
    {
        QTest::keyClicks(command, text);
        QTest::keyClick(command, Qt::Key_Return);
    }

private slots:
    void init()
    {
        env.op = ScriptedOperator{};
        env.clock.set(1'700'000'000);
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        view = std::make_unique<CControlView>(*doc);
        peer = std::make_unique<LoopbackPeer>();
        find(name, "nameEdit");
        find(status, "statusEdit");
        find(command, "commandEdit");
        find(console, "consoleList");
        find(players, "playerList");
        find(commands, "commandList");
        find(startRecord, "startRecordButton");
        find(stopRecording, "stopRecordingButton");
        find(send, "sendButton");
        find(kick, "kickButton");
    }
    void cleanup()
    {
        view.reset();
        doc.reset();
        peer.reset();
    }

    // A monitored server is greyed but listed; control enables what each kind can do.
    void controlsFollowTheKindAndTheControlAndAHubsKickChangesTheView()
    {
        CHLServer* server = add<CHLServer>(CSStatus_MONITORING);
        server->m_strHostname = "Caf\xE9 LAN"; // Windows-1252 from the wire
        server->m_nPlayers = 2;
        server->m_strPlayers[0] = "J\xC3\xA9r\xC3\xB4me"; // UTF-8
        server->m_strPlayers[1] = "Max";
        server->m_log.Add("Bad rcon_password.");
        pick(server);
        QCOMPARE(status->text(), QStringLiteral("Monitor only"));
        QCOMPARE(name->text(), QStringLiteral("Café LAN"));
        QCOMPARE(enabled(), QList<bool>(8, false));
        QCOMPARE(rows(players), (QStringList{QStringLiteral("Jérôme"), "Max"}));
        QCOMPARE(rows(console), QStringList{"Bad rcon_password."});

        controlledServer();
        QCOMPARE(status->text(), QStringLiteral("Rcon Controled"));
        QCOMPARE(enabled(), (QList<bool>{true, false, false, true, true, true, true, true}));

        CHLTV* proxy = add<CHLTV>(CSStatus_CONTROL);
        pick(proxy);
        QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true, true, true, false}));
        proxy->m_nStatus = CSStatus_FULLCONTROL;
        pick(proxy);
        QCOMPARE(status->text(), QStringLiteral("Rcon Controled + Logs"));
        QCOMPARE(enabled(), QList<bool>(8, true));

        // A hub manager's Kick changes the point of view to the picked player.
        CGTV* hub = add<CGTV>(CSStatus_TIMEOUT);
        hub->OnReply(oobReply("managerInfoResponse\\hostname\\GTV\\numHubs\\1\\hubs\\9 0"));
        hub->OnReply(oobReply("hubInfoResponse\\hubNum\\9\\p1t\\a\\p1n\\Twin\\p6t\\b\\p6n\\Ace"));
        hub->OnReply(oobReply("print\nfollowing\n"));
        hub->m_pSelectedHub = &hub->m_hubs[0];
        peer->drain(*hub);
        pick(hub);
        QCOMPARE(kick->text(), QStringLiteral("Change POV"));
        QVERIFY(!startRecord->isEnabled() && !stopRecording->isEnabled()); // a hub manager records nothing
        selectRows(players, {1});
        QTest::mouseClick(kick, Qt::LeftButton);
        QCOMPARE(peer->drain(*hub), (Sent{oob::hubRconCommand("pw", "gtv_follow 6 9"), oob::hubInfoQuery(9)}));
        QVERIFY(env.op.questions.empty());
    }

    void sendByButtonAndReturnWithAHistoryAndADraftPerMachine()
    {
        CHLServer* server = controlledServer();
        enter(QString()); // nothing sent
        QTest::keyClicks(command, QStringLiteral("say caf"));
        QTest::sendKeyEvent(QTest::Click, command, Qt::Key_Eacute, QStringLiteral("é"), {});
        QTest::mouseClick(send, Qt::LeftButton);
        QCOMPARE(command->text(), QString());
        QTest::keyClicks(command, QStringLiteral("status"));
        QTest::keyClick(players, Qt::Key_Return); // anywhere in the panel
        QCOMPARE(peer->drain(*server), (Sent{oob::rconCommand(777, "pw", "say caf\xC3\xA9"),
                                             oob::rconCommand(777, "pw", "status")}));

        // The history, a repeat kept once, walked up past its start, down past its end and back.
        for (const char* line : {"a", "b", "b", "c"})
            enter(QLatin1String(line));
        QStringList walked;
        for (int up : {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1}) {
            QTest::keyClick(command, up ? Qt::Key_Up : Qt::Key_Down);
            walked << command->text();
        }
        QCOMPARE(walked, (QStringList{"c", "b", "a", "status", "say caf\u00E9", "say caf\u00E9", "status", "a", "b",
                                      "c", "", "", "", "c"}));

        // What the line holds stays with its machine: none of it reaches another.
        CHLTV* proxy = add<CHLTV>(CSStatus_CONTROL);
        proxy->m_nChallenge = 5;
        proxy->m_strAddress = "127.0.0.2";
        peer->drain(*server); // what the history sent
        pick(proxy);
        QCOMPARE(command->text(), QString());
        QTest::keyClick(command, Qt::Key_Return);
        QCOMPARE(peer->drain(*proxy), Sent{});
        QTest::keyClicks(command, QStringLiteral("stat"));
        pick(server);
        QCOMPARE(command->text(), QStringLiteral("c"));
        pick(nullptr);
        QCOMPARE(command->text(), QString());
        pick(proxy);
        QCOMPARE(command->text(), QStringLiteral("stat"));
    }

    void sparklineShowsTheDayOrTheWeek()
    {
        CHLServer* server = controlledServer();
        const std::int64_t now = env.clock.now();
        PlayerHistory::Backfill kept;
        kept.spans = {{now - 3 * 86400, 12}};
        kept.minutes = {{now - 60, 3}};
        doc->m_feeds.fillHistory(server->GetName(), kept);
        pick(server);
        auto* sparkline = view->findChild<SparklineWidget*>(QStringLiteral("historySparkline"));
        auto* caption = view->findChild<QLabel*>(QStringLiteral("historySpanLabel"));
        QCOMPARE(sparkline->samples().size(), std::size_t{PlayerHistory::kMinutes});
        QCOMPARE(sparkline->samples()[PlayerHistory::kMinutes - 2], std::optional<int>(3));
        QCOMPARE(caption->text(), QStringLiteral("24 h:"));

        // The context menu offers both spans; the week follows at once and at each update.
        QAction* week = sparkline->findChild<QAction*>(QStringLiteral("sparklineWeek"));
        QVERIFY(week && sparkline->actions().contains(week));
        QCOMPARE(sparkline->contextMenuPolicy(), Qt::ActionsContextMenu);
        week->trigger();
        QCOMPARE(caption->text(), QStringLiteral("7 days:"));
        QCOMPARE(sparkline->samples().size(), std::size_t{PlayerHistory::kSpans});
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        const auto& samples = sparkline->samples();
        QCOMPARE(samples.size(), std::size_t{PlayerHistory::kSpans});
        QCOMPARE(samples[PlayerHistory::kSpans - 1 - 3 * 144], std::optional<int>(12));
        QVERIFY(sparkline->toolTip().contains(QLatin1String("7 days")) &&
                sparkline->toolTip().contains(QLatin1String("peak 12")));
        sparkline->findChild<QAction*>(QStringLiteral("sparklineDay"))->trigger();
        QCOMPARE(sparkline->samples().size(), std::size_t{PlayerHistory::kMinutes});
        QCOMPARE(caption->text(), QStringLiteral("24 h:"));
    }
    // Ban... from the player's menu: the dialog shows the player as text and
    // offers only the scopes the server has; what it collects is banned.
    void banFromThePlayersMenu()
    {
        CHLServer* server = controlledServer();
        server->m_statusPlayers = {StatusPlayer{7, "<b>eve</b>", "STEAM_0:1:99", 3, "01:00", 40, "127.0.0.9:27005"}};
        server->m_nPlayers = 1;
        server->m_strPlayers = {"<b>eve</b>"};
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        QCOMPARE(players->rowCount(), 1);
        QString shown;
        QStringList scopes;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                for (const QLabel* label : dialog->findChildren<QLabel*>())
                    if (label->textFormat() == Qt::PlainText)
                        shown = label->text();
                auto* scope = dialog->findChild<QComboBox*>(QStringLiteral("banScope"));
                for (int i = 0; i < scope->count(); ++i)
                    scopes << scope->itemText(i);
                scope->setCurrentIndex(scope->count() - 1);
                dialog->findChild<QSpinBox*>(QStringLiteral("banMinutes"))->setValue(30);
                QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("banReason")), "aimbot");
                dialog->accept();
            });
            for (QAction* action : menu->actions())
                if (action->text() == QStringLiteral("&Ban..."))
                    menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        emit players->customContextMenuRequested(players->visualRect(players->model()->index(0, 0)).center());
        QCOMPARE(shown, QStringLiteral("Ban <b>eve</b> by SteamID STEAM_0:1:99"));
        QCOMPARE(scopes, (QStringList{"This server", "The whole park"}));
        QCOMPARE(doc->bans().bans().size(), std::size_t{1});
        const auto& ban = doc->bans().bans().back();
        QCOMPARE(ban.minutes, std::int64_t{30});
        QCOMPARE(ban.reason, std::string("aimbot"));
        QCOMPARE(ban.scope.text(), std::string("park"));
        const Sent sent = peer->drain(*server);
        QVERIFY(std::find(sent.begin(), sent.end(), oob::rconCommand(777, "pw", "banid 30 STEAM_0:1:99 kick")) !=
                sent.end());
    }

    void recording()
    {
        CHLTV* proxy = add<CHLTV>(CSStatus_CONTROL);
        proxy->m_nChallenge = 5;
        proxy->m_strMap = "de_nuke";
        pick(proxy);
        env.op.lineAnswers = {std::nullopt, std::string("final/../map 1*")};
        QTest::mouseClick(startRecord, Qt::LeftButton);
        QTest::mouseClick(startRecord, Qt::LeftButton);
        QCOMPARE(env.op.prompts.at(0),
                 std::make_pair(std::string("Enter file for recording"), proxy->MakeAutoDemoName()));
        proxy->OnReply(oobReply("l----- Status -----\nHLTV proxy connected to 127.0.0.1:27015, delay 30s.\n"
                                "Recording to finalmap1.dem (12 sec)\n"));
        env.clock.advance(75);
        pick(proxy);
        QCOMPARE(status->text(), QStringLiteral("Rcon Controled \u2014 Recording finalmap1.dem (01:15)"));
        QCOMPARE(status->cursorPosition(), 0);
        proxy->m_strRecordFile = "<img src=x>.dem"; // named on the proxy's side
        pick(proxy);
        QVERIFY2(status->toolTip().contains(QLatin1String("&lt;img src=x&gt;.dem")) &&
                     !status->toolTip().contains(QLatin1String("<img")), qPrintable(status->toolTip()));
        proxy->m_strRecordFile = "finalmap1.dem";

        // Stopping a match's demo asks first, naming it.
        env.op.yesNoAnswers = {false, true};
        QTest::mouseClick(stopRecording, Qt::LeftButton);
        QTest::mouseClick(stopRecording, Qt::LeftButton);
        QCOMPARE(env.op.questions,
                 std::vector<std::string>(2, "Stop recording finalmap1.dem on " + proxy->GetName() + "?"));
        QCOMPARE(peer->drain(*proxy), (Sent{oob::rconCommand(5, "pw", "record finalmap1"),
                                            oob::rconCommand(5, "pw", "stoprecord")}));

        // A proxy that relays nothing has nothing to record.
        proxy->OnReply(oobReply("l----- Status -----\nHLTV proxy disconnected.\n"));
        pick(proxy);
        QVERIFY(!startRecord->isEnabled());
        QVERIFY(startRecord->toolTip().contains(QLatin1String("relays nothing")));
        QVERIFY(stopRecording->isEnabled());
    }

    // The operator's commands and their replies stay on their own page,
    // apart from the polls' answers, for 1,000 lines.
    void commandsKeptApartFromPolls()
    {
        CHLServer* server = controlledServer();
        enter(QStringLiteral("users"));
        QCOMPARE(rows(commands), QStringList{"> users"});
        // Within the reply time: the poll's status text and the answer.
        env.clock.advance(1);
        server->OnReply(oobReply("lhostname:  Cup #1\nplayers :  3 active (16 max)\n3 users\n"));
        server->OnReply(oobReply("lUserid : name\n2 : Ann\n"));
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        QCOMPARE(rows(commands), (QStringList{"> users", "Userid : name", "2 : Ann"}));
        // Later lines belong to no command of the operator's.
        env.clock.advance(CommandTranscript::kReplySeconds + 1);
        server->OnReply(oobReply("lsay from the server\n"));
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        QCOMPARE(commands->count(), 3);
        QCOMPARE(rows(console).last(), QStringLiteral("say from the server"));

        // Asked by the operator, a status text is his.
        enter(QStringLiteral("status"));
        server->OnReply(oobReply("lhostname:  Cup #1\n"));
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        QCOMPARE(rows(commands).mid(3), (QStringList{"> status", "hostname:  Cup #1"}));

        for (int i = 0; i < 1000; ++i)
            enter(QStringLiteral("c%1").arg(i));
        QCOMPARE(commands->count(), 1000);
        QCOMPARE(commands->item(0)->text(), QStringLiteral("> c0"));
    }

    // Frags and time from the players reply; the selection stays on the
    // player when players leave and when the table is sorted.
    void playerTableFollowsThePlayer()
    {
        CHLServer* server = controlledServer();
        const char reply[] = "D\x03\x01"
                             "Ann\0\x05\0\0\0\0\0\x82\x42\x02"
                             "Bob\0\x09\0\0\0\0\x80\x6D\x45"
                             "\x03"
                             "Cy\0\x01\0\0\0\0\0\0\0";
        server->OnReply(oobReply(std::string(reply, sizeof reply - 1)));
        pick(server);
        QCOMPARE(rows(players, true), (QStringList{"Ann|5|1:05", "Bob|9|1:03:20", "Cy|1|0:00"}));
        selectRows(players, {1});

        server->m_nPlayers = 3;
        server->m_strPlayers[0] = "Cy";
        server->m_strPlayers[1] = "Bob";
        server->m_strPlayers[2] = "Dan";
        pick(server);
        QCOMPARE(rows(players), (QStringList{"Cy", "Bob", "Dan"}));
        QCOMPARE(selectedNames(players), QStringList{"Bob"});

        players->sortByColumn(PlayerTable::NameColumn, Qt::AscendingOrder);
        QCOMPARE(rows(players), (QStringList{"Bob", "Cy", "Dan"}));
        QCOMPARE(selectedNames(players), QStringList{"Bob"});
        // With rcon's status table: its columns, and the kick by user id.
        server->m_statusPlayers = {StatusPlayer{7, "Bob", "STEAM_0:1:7", 9, "1:03:20", 35, "127.0.0.7:27005"}};
        pick(server);
        QVERIFY(!players->isColumnHidden(PlayerTable::SteamIdColumn));
        QCOMPARE(players->item(0, PlayerTable::SteamIdColumn)->text(), QStringLiteral("STEAM_0:1:7"));
        QCOMPARE(selectedNames(players), QStringList{"Bob"});
        peer->drain(*server);
        env.op.yesNoAnswers = {true};
        QTest::mouseClick(kick, Qt::LeftButton);
        QCOMPARE(env.op.questions, std::vector<std::string>{"Are you sure you want to kick Bob ?"});
        QCOMPARE(peer->drain(*server).back(), oob::rconCommand(777, "pw", "kick #7"));
    }

    // Log events of the picked server, as plain text whatever the names
    // hold; picking another object shows its events instead.
    void livePaneFollowsThePick()
    {
        CHLServer* first = controlledServer();
        CHLServer* second = add<CHLServer>(CSStatus_CONTROL);
        second->m_nPort = 1; // another name, the same peer
        auto* live = view->findChild<QListWidget*>(QStringLiteral("liveList"));
        const quint32 local = QHostAddress(QHostAddress::LocalHost).toIPv4Address();
        doc->m_feeds.setSources({{LiveFeeds::sourceKey(local, 1), first->GetName()},
                                 {LiveFeeds::sourceKey(local, 2), second->GetName()}});
        const auto log = [this](quint16 from, const QByteArray& body) {
            doc->m_feeds.receive("\xFF\xFF\xFF\xFFlog L 10/05/2024 - 14:22:01: " + body + '\n',
                                 QHostAddress::LocalHost, from);
        };
        log(1, "\"<b>Bob</b><img src=x><2><STEAM_0:1:2><CT>\" say \"<i>hi</i> &amp;\"");
        log(2, "\"Ann<3><STEAM_0:1:3><TERRORIST>\" killed \"Cy<4><STEAM_0:1:4><CT>\" with \"ak47\"");
        QCOMPARE(rows(live), QStringList{"14:22:01  <b>Bob</b><img src=x>: <i>hi</i> &amp;"});
        QCOMPARE(live->item(0)->foreground().color(), liveTeamColor("CT"));
        pick(second);
        QCOMPARE(rows(live), QStringList{"14:22:01  Ann killed Cy with ak47"});
        QCOMPARE(live->item(0)->foreground().color(), liveTeamColor("TERRORIST"));
        // No log port: nothing to stream to.
        QVERIFY(!view->findChild<QPushButton*>(QStringLiteral("streamLogsButton"))->isEnabled());
    }

    // Kick asks first. Whatever the program sends for the operator is on his
    // record with its answer, from the panel, the menus and a drop alike;
    // passwords as ***; the polls never.
    void everyCommandSentForTheOperatorIsOnRecord()
    {
        CHLServer* server = controlledServer();
        QTest::mouseClick(kick, Qt::LeftButton); // no row selected
        QVERIFY(env.op.questions.empty());
        selectRows(players, {2, 1});
        env.op.yesNoAnswers = {false, true};
        QTest::mouseClick(kick, Qt::LeftButton);
        QCOMPARE(peer->drain(*server), Sent{});
        QTest::mouseClick(kick, Qt::LeftButton);
        QCOMPARE(env.op.questions, (std::vector<std::string>(2, "Are you sure you want to kick Bob ?")));
        QCOMPARE(peer->drain(*server), (Sent{oob::rconCommand(777, "pw", "say Kicking Bob"),
                                             oob::rconCommand(777, "pw", "kick \"Bob\"")}));
        enter(QStringLiteral("sv_password s3cret; say hi"));
        QCOMPARE(rows(commands), (QStringList{"> say Kicking Bob", "> kick \"Bob\"", "> sv_password ***; say hi"}));
        QVERIFY(peer->drain(*server).back().find("sv_password s3cret") != std::string::npos); // sent as typed
        QString error;
        QVERIFY2(doc->m_feeds.listen(QHostAddress::LocalHost, 0, error), qPrintable(error));
        const QString target = QStringLiteral("127.0.0.1 %1").arg(doc->m_feeds.listenPort());
        pick(server);
        // On the live page, not shown: clicked as the keyboard would.
        view->findChild<QPushButton*>(QStringLiteral("streamLogsButton"))->click();
        view->findChild<QPushButton*>(QStringLiteral("stopStreamingButton"))->click();
        QCOMPARE(rows(commands).mid(3),
                 (QStringList{"> logaddress_add " + target, "> log on",
                              "Quorvane : asked to stream its log to " + QString(target).replace(' ', ':'),
                              "> logaddress_del " + target}));
        doc->m_feeds.close();
        QCOMPARE(peer->drain(*server).size(), std::size_t{3});

        CHLTV* proxy = add<CHLTV>(CSStatus_CONTROL);
        proxy->m_nChallenge = 5;
        proxy->m_strAddress = "127.0.0.2"; // a machine of its own on the record
        pick(proxy);
        env.op.lineAnswers = {std::string("final"), std::string("tv\"pw"), std::string("spec pw")};
        QTest::mouseClick(startRecord, Qt::LeftButton);
        proxy->OnReply(oobReply("lCannot record, not connected to a server.\n"));
        env.op.yesNoAnswers = {true};
        QTest::mouseClick(stopRecording, Qt::LeftButton);
        doc->OnCommand(ID_HLTV_SERVERPASSWORD); // a quote: refused, nothing sent
        doc->OnCommand(ID_HLTV_SPECPASSWORD);
        doc->OnCommand(ID_HLTV_DISCONNECT);
        env.clock.advance(20); // past the re-link pause
        doc->DropOn(*proxy, *server);
        pick(proxy);
        const QString upstream = QString::fromStdString(server->GetName());
        QCOMPARE(rows(commands),
                 (QStringList{"> record final", "Cannot record, not connected to a server.", "> stoprecord",
                              "> spectatorpassword \"***\"", "> disconnect", "> connect " + upstream}));
        const Sent sent = peer->drain(*proxy);
        QCOMPARE(sent.at(2), oob::rconCommand(5, "pw", "spectatorpassword \"spec pw\""));
        doc->undoStack().undo(); // back to no upstream: also the operator's
        pick(proxy);
        QCOMPARE(rows(commands).last(), QStringLiteral("> disconnect"));

        // A minute of polls adds nothing to either record.
        const int before = commands->count();
        for (int i = 0; i < 60; ++i) {
            env.clock.advance(1);
            doc->TickSecond();
        }
        QVERIFY(!peer->drain(*proxy).empty());
        QCOMPARE(commands->count(), before);
        pick(server);
        QCOMPARE(commands->count(), 8); // with the note on stopping
    }

    void consoleRowsKeptAndScrolled()
    {
        CHLServer* server = controlledServer();
        for (int i = 0; i < 60; ++i)
            server->m_log.Add("line " + std::to_string(i));
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        pick(server);
        QCOMPARE(console->count(), 50);
        QCOMPARE(console->item(0)->text(), QStringLiteral("line 10"));
        QListWidgetItem* const last = console->item(49);
        QSignalSpy changed(console->model(), &QAbstractItemModel::dataChanged);
        QSignalSpy removed(console->model(), &QAbstractItemModel::rowsRemoved);
        pick(server);
        QCOMPARE(changed.count() + removed.count(), 0);
        QCOMPARE(console->item(49), last);

        // New lines follow the end, unless the operator scrolled back to read.
        QScrollBar* bar = console->verticalScrollBar();
        for (const bool following : {true, false}) {
            server->m_log.Add(following ? "line 60" : "line 61");
            pick(server);
            QCoreApplication::processEvents(); // the list lays out its rows
            QVERIFY(bar->maximum() > 0);
            QCOMPARE(bar->value(), following ? bar->maximum() : 0);
            bar->setValue(0);
        }
        QCOMPARE(console->item(49)->text(), QStringLiteral("line 61"));
    }
};

QTEST_MAIN(TestControlView)
#include "tst_controlview.moc"
