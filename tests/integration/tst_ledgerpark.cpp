// The ledger end to end on loopback: a match of the simulated park runs, a
// proxy records it, the operator kicks a player and handles the join
// password from the control panel; then the program itself, run on the
// ledger file, lists the match with its demo and the kick with its answer,
// and no password is anywhere in the file's bytes.
#include "layout/CQuorvaneDoc.h"
#include "ledger/Ledger.h"
#include "objects/CHLTV.h"
#include "support/LedgerLines.h"
#include "support/SimulatedPark.h"
#include "support/TestBytes.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"
#include "ui/CControlView.h"
#include "ui/PlayerTable.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QByteArray kRcon = "rc0n-Cup-7731";
const QByteArray kProxyRcon = "tv-Rc0n-5512";
const QByteArray kJoin = "join-9917";
const QByteArray kNewJoin = "join-NEW-4420";

const char* const kParkConfig = R"({
  "seed": 11,
  "servers": [
    {"hostname": "Cup #1", "map": "de_dust2", "rcon": "rc0n-Cup-7731", "sv_password": "join-9917",
     "players": 4, "max_players": 12, "moves": false,
     "match": {"state": 2, "team_a": "Red", "team_b": "Blue", "score_a1": 3, "score_b1": 1, "moves": false}}
  ],
  "proxies": [{"hostname": "TV", "style": "current", "rcon": "tv-Rc0n-5512", "moves": false}]
})";

} // namespace

class TestLedgerPark : public QObject
{
    Q_OBJECT

    TestContext env;
    QTemporaryDir dir;
    SimulatedPark park;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString()));
    }

    void matchKickAndPasswords()
    {
        const QString path = dir.filePath(QStringLiteral("ledger.sqlite"));
        Ledger::Options options;
        options.settings.target.path = path;
        options.settings.instance = QStringLiteral("park test");
        auto ledger = std::make_unique<Ledger>(options, env.clock);
        auto doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        doc->AttachLedger(ledger.get());
        auto panel = std::make_unique<CControlView>(*doc);
        const auto tickUntil = [&](auto done, int ticks) {
            return ::tickUntil(env.clock, *doc, done, ticks);
        };
        const auto nothing = [] { return false; }; // seconds in which the replies arrive

        auto* server = static_cast<CHLServer*>(
            doc->AddServer("127.0.0.1", park.serverPorts()[0], kRcon.toStdString(), doc->m_groups[0].get()));
        const int proxyPort = park.proxyPorts()[0];
        auto* proxy = static_cast<CHLTV*>(doc->AddProxy("127.0.0.1", proxyPort, doc->m_groups[1].get(),
                                                        kProxyRcon.toStdString(), "", "127.0.0.1", proxyPort,
                                                        true, false));
        QVERIFY(tickUntil(
            [&] {
                return server->m_nStatus == CSStatus_CONTROL && server->m_bMatchRunning &&
                       proxy->m_nStatus == CSStatus_CONTROL && !server->m_statusPlayers.empty();
            },
            40));

        // The proxy relays the match and records it under the generated name.
        proxy->DropOn(server);
        QVERIFY(tickUntil([&] { return proxy->m_pLinked == server; }, 40));
        proxy->m_bAutoRecord = true;
        QVERIFY(tickUntil([&] { return !proxy->m_strRecordFile.empty(); }, 40));
        const QString demo = QString::fromStdString(proxy->m_strRecordFile);

        // The operator kicks the first player from the panel.
        doc->SetSelection(nullptr, server);
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        auto* players = panel->findChild<PlayerTable*>(QStringLiteral("playerList"));
        QVERIFY(players);
        const std::string victim = server->m_statusPlayers.front().name;
        QVERIFY(players->selectPlayer(victim));
        env.op.yesNoAnswers = {true};
        panel->findChild<QPushButton*>(QStringLiteral("kickButton"))->click();
        QCOMPARE(env.op.questions.size(), std::size_t{1});
        // ...sets a new join password and asks the server for it.
        auto* command = panel->findChild<QLineEdit*>(QStringLiteral("commandEdit"));
        auto* send = panel->findChild<QPushButton*>(QStringLiteral("sendButton"));
        for (const QString& text :
             {QStringLiteral("sv_password ") + kNewJoin, QStringLiteral("sv_password")}) {
            command->setText(text);
            send->click();
            tickUntil(nothing, 1);
        }
        QVERIFY(tickUntil([&] { return server->m_statusPlayers.size() == 3; }, 40));

        // The match ends; the recording stops.
        QVERIFY(ParkProbe(park.serverPorts()[0]).control("sim_match 0"));
        QVERIFY(tickUntil([&] { return !server->m_bMatchRunning && proxy->m_strRecordFile.empty(); }, 40));
        tickUntil(nothing, 2);
        QTRY_VERIFY_WITH_TIMEOUT(ledger->queued() == 0 &&
                                     ledger->stats().written[LedgerStats::Commands] >= 4 &&
                                     ledger->stats().written[LedgerStats::Matches] >= 2,
                                 10000);

        // The program, run beside the running one, lists the match with its demo...
        const QList<QJsonObject> matches = ledgerLines(QStringLiteral("matches"), path);
        QCOMPARE(matches.size(), 1);
        QCOMPARE(matches[0].value(QLatin1String("teams")).toString(), QStringLiteral("Red vs Blue"));
        QCOMPARE(matches[0].value(QLatin1String("ending")).toString(), QStringLiteral("finished"));
        QVERIFY2(matches[0].value(QLatin1String("demos")).toString().contains(demo),
                 qPrintable(matches[0].value(QLatin1String("demos")).toString() + " lacks " + demo));
        QCOMPARE(matches[0].value(QLatin1String("proxies")).toString(),
                 QStringLiteral("proxy 127.0.0.1:%1").arg(proxyPort));
        QCOMPARE(matches[0].value(QLatin1String("scores")).toString(), QStringLiteral("3:1"));

        // ...and the kick, its say and both commands it sent, with the server's answer. On a slow
        // machine the proxy may say it is not connected for long enough after the drop that the
        // program connects it again: that connect is on the record too, and nothing else is.
        const QString server0 = QStringLiteral("127.0.0.1:%1").arg(park.serverPorts()[0]);
        QList<QJsonObject> commands;
        QStringList texts;
        for (const QJsonObject& line : ledgerLines(QStringLiteral("commands"), path)) {
            const QString object = line.value(QLatin1String("object")).toString();
            texts << object + QLatin1Char(' ') + line.value(QLatin1String("text")).toString();
            if (object == QLatin1String("server ") + server0)
                commands << line;
            else
                QCOMPARE(texts.last(), QStringLiteral("proxy 127.0.0.1:%1 connect %2").arg(proxyPort).arg(server0));
        }
        QVERIFY2(commands.size() == 4, qPrintable(texts.join(QLatin1String(" | "))));
        const QString kicked = QStringLiteral("Kicked \"%1\"").arg(QString::fromStdString(victim));
        QVERIFY(commands[0].value(QLatin1String("text")).toString().startsWith(QLatin1String("say Kicking")));
        QVERIFY(commands[1].value(QLatin1String("text")).toString().startsWith(QLatin1String("kick #")));
        QVERIFY2(commands[1].value(QLatin1String("answer")).toString().contains(kicked),
                 qPrintable(commands[1].value(QLatin1String("answer")).toString()));
        QCOMPARE(commands[2].value(QLatin1String("text")).toString(), QStringLiteral("sv_password ***"));
        // (The program's own poll of the same may answer in the same seconds.)
        const QStringList asked = commands[3].value(QLatin1String("answer")).toString().split('\n');
        QCOMPARE(asked, QStringList(asked.size(), QStringLiteral("\"sv_password\" is \"***\"")));

        // No password in the bytes of the file or of its write-ahead log, while open and once closed.
        const auto noPassword = [&](const QByteArray& bytes) {
            for (const QByteArray& secret : {kRcon, kProxyRcon, kJoin, kNewJoin})
                if (bytes.contains(secret))
                    return false;
            return true;
        };
        QVERIFY(noPassword(fileBytes(path)));
        QVERIFY(noPassword(fileBytes(path + QStringLiteral("-wal"))));
        panel.reset();
        doc.reset();
        ledger.reset();
        QVERIFY(noPassword(fileBytes(path)));
        QVERIFY(noPassword(fileBytes(path + QStringLiteral("-wal"))));
    }
};

QTEST_MAIN(TestLedgerPark)
#include "tst_ledgerpark.moc"
