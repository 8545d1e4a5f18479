// Modules > Ledger...: what the dialog refuses and what it stores.

#include "ui/CLedgerSettingsDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

class TestLedgerDialog : public QObject
{
    Q_OBJECT

private slots:
    void refusesAndStores_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("days");
        QTest::addColumn<bool>("accepted");
        QTest::addRow("default file") << "" << "30" << true;
        QTest::addRow("a file") << "/tmp/park/ledger.sqlite" << "7" << true;
        QTest::addRow("postgresql") << "postgresql://league@127.0.0.1:5432/park" << "90" << true;
        QTest::addRow("password in the URL") << "postgresql://league:pw@127.0.0.1/park" << "30" << false;
        QTest::addRow("no database") << "postgresql://league@127.0.0.1" << "30" << false;
        QTest::addRow("no days") << "" << "0" << false;
        QTest::addRow("too many days") << "" << "5000" << false;
    }

    void refusesAndStores()
    {
        QFETCH(QString, target);
        QFETCH(QString, days);
        QFETCH(bool, accepted);
        CLedgerSettingsDlg dialog({true, QStringLiteral("old"), 30});
        QStringList messages;
        dialog.setMessageHandler([&messages](const QString& text) { messages << text; });
        dialog.show();
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("ledgerTargetEdit"));
        auto* keep = dialog.findChild<QLineEdit*>(QStringLiteral("ledgerKeepDaysEdit"));
        auto* enabled = dialog.findChild<QCheckBox*>(QStringLiteral("ledgerEnabledCheck"));
        QVERIFY(edit && keep && enabled);
        QCOMPARE(edit->text(), QStringLiteral("old"));
        edit->setText(target);
        keep->setText(days);
        enabled->setChecked(false);
        dialog.accept();
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(messages.isEmpty(), accepted);
        if (accepted) {
            QCOMPARE(dialog.values().target, target);
            QCOMPARE(dialog.values().keepDays, days.toInt());
            QVERIFY(!dialog.values().enabled);
        } else {
            QVERIFY(!messages.front().contains(QLatin1String(":pw@")));
        }
    }
};

QTEST_MAIN(TestLedgerDialog)
#include "tst_ledgerdialog.moc"
