// View, Bans: the park's bans as a table with Unban, and the rcon attacks
// seen with a one-click ban of the source on the park; remote texts shown
// as plain text.
#include "layout/CQuorvaneDoc.h"
#include "support/TestContext.h"
#include "ui/BansDock.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTest>

class TestBansDock : public QObject
{
    Q_OBJECT

    TestContext env;

private slots:
    void listsBansAndAttacks()
    {
        CQuorvaneDoc doc(env.context());
        doc.OnNewDocument();
        BansDock dock(doc);
        dock.show();
        QCOMPARE(dock.bansTable()->rowCount(), 0);

        // Six refused commands in a minute from one address: an attack row.
        for (int i = 0; i < 6; ++i) {
            env.clock.advance(5);
            doc.NoteRefusedRcon("127.0.0.1:27015", "127.0.2.66");
        }
        doc.UpdateAllViews(CQuorvaneDoc::HintTick);
        QCOMPARE(dock.attacksTable()->rowCount(), 1);
        QCOMPARE(dock.attacksTable()->item(0, 2)->text(), QStringLiteral("127.0.2.66"));
        QCOMPARE(dock.attacksTable()->item(0, 3)->text(), QStringLiteral("6"));

        dock.attacksTable()->selectRow(0);
        QTest::mouseClick(dock.banAddressButton(), Qt::LeftButton);
        QCOMPARE(dock.bansTable()->rowCount(), 1);
        QCOMPARE(dock.bansTable()->item(0, BansDock::TargetColumn)->text(), QStringLiteral("127.0.2.66 (IP)"));
        QCOMPARE(dock.bansTable()->item(0, BansDock::ScopeColumn)->text(), QStringLiteral("park"));
        QCOMPARE(dock.bansTable()->item(0, BansDock::ExpiresColumn)->text(), QStringLiteral("permanent"));
        QVERIFY(dock.bansTable()->item(0, BansDock::WhyColumn)->text().contains("127.0.0.1:27015"));

        // Unban asks first; a no keeps the ban.
        dock.bansTable()->selectRow(0);
        env.op.yesNoAnswers = {false, true};
        QTest::mouseClick(dock.unbanButton(), Qt::LeftButton);
        QVERIFY(!doc.bans().bans().front().lifted());
        QTest::mouseClick(dock.unbanButton(), Qt::LeftButton);
        QVERIFY(doc.bans().bans().front().lifted());
        QVERIFY(dock.bansTable()->item(0, BansDock::ExpiresColumn)->text().startsWith("unbanned"));
        QCOMPARE(env.op.questions.size(), std::size_t(2));
    }
};

QTEST_MAIN(TestBansDock)
#include "tst_bansdock.moc"
