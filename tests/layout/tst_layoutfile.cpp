#include "layout/Archive.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/LayoutFile.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "support/TestContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <limits>
#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray str(const char* text)
{
    return QByteArray(1, static_cast<char>(std::strlen(text))) + text;
}

// The default layout's zone and group lists, byte for byte.
QByteArray defaultLists()
{
    return hex("0200 FFFF 0100 0500") + "CZone" + hex("FFFFBE00 01000000") + str("LAN Local") + hex("00000000") +
           hex("0180 BEBEFF00 02000000") + str("Internet") + hex("01000000") + hex("0300 FFFF 0100 0600") + "CGroup" +
           hex("FFFFFF00 01000000") + str("Servers") + hex("02000000 00000000") + hex("0480 FFFFFF00 02000000") +
           str("HLTV Local") + hex("03000000 00000000") + hex("0480 FFFFFF00 01000000") + str("HLTV Internet") +
           hex("04000000 01000000");
}

// A new document's module blocks.
QByteArray defaultModules()
{
    return hex("00000000") + str("") + str("") + hex("2D000000") + str("/somepath/Quorvane.html") +
           str("ftp.example.invalid") + hex("0000000000000000 00000000") + hex("00000000");
}

} // namespace

class TestLayoutFile : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<CQuorvaneDoc> doc;

    QByteArray modulesWithoutObjects() { return hex("0000") + defaultModules(); }

    bool load(const QByteArray& bytes) { return layoutfile::load(*doc, bytes); }

private slots:
    void init()
    {
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
    }

    void layoutBytes()
    {
        QCOMPARE(layoutfile::save(*doc), defaultLists() + modulesWithoutObjects());
        doc->AddServer("127.168.0.10", 27015, "", doc->m_groups[0].get());
        doc->AddProxy("127.168.0.11", 27020, doc->m_groups[1].get(), "", "", "127.168.0.11", 27020, true, false);
        doc->AddServer("127.168.0.12", 27015, "", doc->m_groups[0].get());
        const QByteArray expected =
            defaultLists() + hex("0300 FFFF 0A00 0900") + "CHLServer" + str("127.168.0.10") +
            hex("87690000 02000000 00") + hex("FFFF 6500 0500") + "CHLTV" + str("127.168.0.11") +
            hex("8C690000 03000000 00") + hex("01000000") + str("127.168.0.11") + hex("8C690000 00 00000000") +
            hex("0880") + str("127.168.0.12") + hex("87690000 02000000 00") + defaultModules();
        QCOMPARE(layoutfile::save(*doc), expected);
    }

    // A peak no page could reach (written when rates were not checked)
    // would never be beaten: it starts over when the file is opened.
    void impossiblePeaksStartOver_data()
    {
        QTest::addColumn<double>("bandwidth");
        QTest::addColumn<int>("spectators");
        QTest::addRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 5;
        QTest::addRow("infinite") << std::numeric_limits<double>::infinity() << 5;
        QTest::addRow("negative") << -3.0 << -7;
    }

    void impossiblePeaksStartOver()
    {
        QFETCH(double, bandwidth);
        QFETCH(int, spectators);
        doc->m_moduleAutoWeb.m_fPeakBandwidth = bandwidth;
        doc->m_moduleAutoWeb.m_nPeakSpectators = spectators;
        QVERIFY(layoutfile::load(*doc, layoutfile::save(*doc), layoutfile::Channels::Closed));
        QCOMPARE(doc->m_moduleAutoWeb.m_fPeakBandwidth, 0.0);
        QCOMPARE(doc->m_moduleAutoWeb.m_nPeakSpectators, std::max(spectators, 0));
    }

    // A password that would break its quotes in every rcon datagram opens,
    // and keeps its object in monitoring with a console line saying why.
    void unusablePasswordOpensSuspended()
    {
        doc->AddServer("127.0.0.1", 27015, "a\"b", doc->m_groups[0].get());
        doc->AddServer("127.0.0.2", 27015, "fine", doc->m_groups[0].get());
        QVERIFY(layoutfile::load(*doc, layoutfile::save(*doc), layoutfile::Channels::Closed));
        const CCommonObject& refused = *doc->m_objects[0];
        QCOMPARE(refused.m_strRconPassword, std::string("a\"b"));
        QVERIFY(refused.RconSuspended());
        QCOMPARE(refused.m_log.count(), 1);
        QVERIFY(refused.m_log.line(0).find("double quote") != std::string::npos);
        QVERIFY(!doc->m_objects[1]->RconSuspended());
    }

    void roundTrip()
    {
        doc->m_moduleAdminBot.m_bEnabled = 1;
        doc->m_moduleAutoWeb.m_fPeakBandwidth = 1234.5;
        doc->m_moduleAutoWeb.m_nPeakSpectators = 77;
        doc->m_moduleAutoWeb.m_strLogin = "user";
        doc->m_moduleAutoWeb.m_strPassword = std::string(70000, 'p');
        doc->m_zones[0]->m_strName = std::string(300, 'n');
        doc->AddServer("127.0.0.1", 27015, "pw", doc->m_groups[0].get());
        doc->AddHubManager("127.0.0.3", 27500, "hub", doc->m_groups[2].get());
        doc->AddProxy("127.0.0.2", 27020, doc->m_groups[1].get(), "r", "pp", "127.0.113.2", 27021, false, true);
        doc->AddServer("127.0.0.4", 27016, "", doc->m_groups[0].get());
        const QByteArray bytes = layoutfile::save(*doc);

        CQuorvaneDoc reopened(env.context());
        reopened.OnNewDocument();
        QVERIFY(layoutfile::load(reopened, bytes));
        QVERIFY(!reopened.IsModified());
        QCOMPARE(reopened.m_groups[2]->m_pZone, reopened.m_zones[1].get());
        QVERIFY(dynamic_cast<CGTV*>(reopened.m_objects[1].get()) && reopened.m_objects[1]->channel());
        auto* copy = dynamic_cast<CHLTV*>(reopened.m_objects[2].get());
        QVERIFY(copy && copy->channel());
        QCOMPARE(copy->m_pGroup, reopened.m_groups[1].get());
        QCOMPARE(copy->GetExternalName(), std::string("127.0.113.2:27021"));
        QCOMPARE(reopened.m_moduleAutoWeb.m_strPassword, std::string(70000, 'p'));
        QCOMPARE(layoutfile::save(reopened), bytes); // every other field read back as written

        // Channels open unless closed.
        CQuorvaneDoc closed(env.context());
        QVERIFY(layoutfile::load(closed, bytes, layoutfile::Channels::Closed));
        QCOMPARE(closed.m_objects.size(), std::size_t{4});
        for (const auto& object : closed.m_objects)
            QVERIFY(!object->channel());
        QCOMPARE(layoutfile::save(closed), bytes);
    }

    // Lengths below 255 take one byte, below 0xFFFE a marker and a word,
    // longer ones a marker, FFFF and a dword; counts likewise from 0xFFFF.
    void stringCountAndTagForms()
    {
        ArchiveWriter out;
        const std::vector<std::size_t> lengths{0, 254, 255, 300, 0xFFFD, 0xFFFE, 70000};
        for (const std::size_t length : lengths)
            out.writeString(std::string(length, 'a'));
        for (const std::uint32_t count : {0xFFFEu, 0xFFFFu, 0x12345u})
            out.writeCount(count);
        QCOMPARE(out.bytes().left(3), hex("00FE61"));
        QCOMPARE(out.bytes().mid(1 + 1 + 254, 3), hex("FFFF00"));
        QCOMPARE(out.bytes().right(14), hex("FEFF FFFF FFFF0000 FFFF 45230100"));
        ArchiveReader in(out.bytes());
        for (const std::size_t length : lengths)
            QCOMPARE(in.readString(), std::optional<std::string>(std::string(length, 'a')));
        for (const std::uint32_t count : {0xFFFEu, 0xFFFFu, 0x12345u})
            QCOMPARE(in.readCount(), std::optional<std::uint32_t>(count));
        QVERIFY(in.atEnd());

        // The wide form is read and turned into UTF-8.
        const QByteArray wide = hex("FF FEFF 03 4100 E900 AC20") + hex("FF FEFF FF 0200 5A00 4F00");
        ArchiveReader wideIn(wide);
        QCOMPARE(wideIn.readString(), std::optional<std::string>("A\xC3\xA9\xE2\x82\xAC"));
        QCOMPARE(wideIn.readString(), std::optional<std::string>("ZO"));
        QVERIFY(wideIn.atEnd());
        QVERIFY(!wideIn.failed());

        // A class first named after index 0x7FFE is repeated in the long form.
        ArchiveWriter many;
        for (int i = 0; i < 0x4000; ++i)
            many.writeObjectTag("CZone", 1); // class 1, objects 2..0x4001
        many.writeObjectTag("CGroup", 1);
        many.writeObjectTag("CGroup", 1);
        QCOMPARE(many.bytes().right(2), hex("02C0")); // class 0x4002: still the short form
        for (int i = 0; i < 0x4000; ++i)
            many.writeObjectTag("CZone", 1);
        many.writeObjectTag("CHLTV", 101); // class 0x8005
        many.writeObjectTag("CHLTV", 101);
        QCOMPARE(many.bytes().right(6), hex("FF7F 05800080"));

        ArchiveReader tags(many.bytes());
        for (int i = 0; i < 0x4000; ++i)
            QCOMPARE(tags.readObjectTag()->record.name, std::string("CZone"));
        QCOMPARE(tags.readObjectTag()->record.name, std::string("CGroup"));
        QCOMPARE(tags.readObjectTag()->record.name, std::string("CGroup"));
        for (int i = 0; i < 0x4000; ++i)
            QCOMPARE(tags.readObjectTag()->record.name, std::string("CZone"));
        QCOMPARE(tags.readObjectTag()->record.name, std::string("CHLTV"));
        QCOMPARE(tags.readObjectTag()->record.schema, std::uint16_t{101});
        QVERIFY(tags.atEnd());
        QVERIFY(!tags.failed());
    }

    void referencesAndHandWrittenForms()
    {
        const QByteArray bytes =
            hex("0400") +                                                              // four zone records:
            hex("FFFF 0100 0500") + "CZone" + hex("FFFFBE00 01000000 FF FEFF 02 5A00 E900 00000000") + // wide name
            hex("0200") +                                                              // the same zone again
            hex("FF7F 01000080") + hex("BEBEFF00 02000000") + str("Long tag") + hex("01000000") + // long class tag
            hex("0000") +                                                              // a null element
            hex("0100 FFFF 0100 0600") + "CGroup" + hex("FFFFFF00 01000000") + str("G") + hex("02000000 01000000") +
            hex("0000") + defaultModules();
        QVERIFY(load(bytes));
        QVERIFY(env.op.messages.empty());
        QCOMPARE(doc->m_zones.size(), std::size_t{2});
        QCOMPARE(doc->m_zones[0]->m_strName, std::string("Z\xC3\xA9"));
        QCOMPARE(doc->m_zones[1]->m_strName, std::string("Long tag"));
        QCOMPARE(doc->m_groups[0]->m_pZone, doc->m_zones[1].get());
    }

    void malformedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = defaultLists() + modulesWithoutObjects();
        const QByteArray zone = hex("0100 FFFF 0100 0500") + "CZone"; // a list of one zone, its class named
        const QByteArray fields = hex("00000000 01000000 00 00000000");
        QTest::addRow("truncated in the modules") << good.left(good.size() - 1);
        QTest::addRow("unknown class") << hex("0100 FFFF 0100 0500") + "CZona" + fields;
        QTest::addRow("other schema") << hex("0100 FFFF 0200 0500") + "CZone" + fields;
        QTest::addRow("class index never given") << hex("0100 0580") + fields;
        QTest::addRow("reference to an object of another list") << zone + fields + hex("0100 0200");
        QTest::addRow("reference to a class") << hex("0200 FFFF 0100 0500") + "CZone" + fields + hex("0100");
        QTest::addRow("reference never given") << hex("0100 0500");
        QTest::addRow("long reference never given") << hex("0100 FF7F 02000000");
        QTest::addRow("class name of 64 bytes") << hex("0100 FFFF 0100 4000") + QByteArray(64, 'C');
        QTest::addRow("count of four billion") << hex("FFFF FFFFFFFF 0000 0000 00000000");
        QTest::addRow("string longer than the file") << zone + hex("00000000 01000000 FF FFFF FFFFFF7F");
        QTest::addRow("wide string longer than the file") << zone + hex("00000000 01000000 FF FEFF FF FFFF FFFFFF7F");
        QTest::addRow("group in the zone list") << hex("0100 FFFF 0100 0600") + "CGroup" + fields + hex("00000000");
        QTest::addRow("zone in the object list") << hex("0000 0000") + zone + fields;
    }

    void malformedFiles()
    {
        QFETCH(QByteArray, bytes);
        doc->AddZone("Mine", 3);
        QVERIFY(!load(bytes));
        QCOMPARE(env.op.messages, std::vector<std::string>{"Unexpected file format."});
        // Reset to a new layout.
        QCOMPARE(doc->m_zones.size(), std::size_t{2});
        QCOMPARE(doc->m_groups.size(), std::size_t{3});
        QVERIFY(doc->m_objects.empty());
    }

    void everyTruncationIsRefused()
    {
        doc->AddServer("127.0.0.1", 27015, "pw", doc->m_groups[0].get());
        doc->AddProxy("127.0.0.2", 27020, doc->m_groups[1].get(), "r", "pp", "x", 1, true, true);
        const QByteArray bytes = layoutfile::save(*doc);
        for (qsizetype length = 1; length < bytes.size(); ++length) {
            env.op.messages.clear();
            QVERIFY(!load(bytes.left(length)));
            QCOMPARE(env.op.messages.size(), std::size_t{1});
        }
    }

    void emptyFileChangesNothing()
    {
        doc->AddZone("Kept", 1);
        QVERIFY(load(QByteArray()));
        QCOMPARE(doc->m_zones.back()->m_strName, std::string("Kept"));
        QVERIFY(env.op.messages.empty());
    }

    void lostParentsAreKept()
    {
        doc->AddServer("127.0.0.1", 27015, "", doc->m_groups[0].get());
        doc->AddServer("127.0.0.2", 27015, "", doc->m_groups[2].get());
        QByteArray bytes = layoutfile::save(*doc);
        // The first group names zone 9 and the first server group 42.
        bytes.replace(bytes.indexOf(QByteArray("Servers")) + 7 + 4, 4, hex("09000000"));
        bytes.replace(bytes.indexOf(QByteArray("127.0.0.1")) + 9 + 4, 4, hex("2A000000"));
        QVERIFY(load(bytes));
        QCOMPARE(env.op.messages, std::vector<std::string>{"Omg, cannot restore the correct group for 127.0.0.1:27015"});
        QCOMPARE(doc->m_groups[0]->m_pZone, doc->m_zones[0].get()); // placed in the first zone
        QCOMPARE(doc->m_objects[0]->m_pGroup->m_strName, std::string("Recovered"));
        QCOMPARE(doc->m_objects[0]->m_pGroup->m_pZone, doc->m_zones[0].get());
        QCOMPARE(doc->m_objects[1]->m_pGroup, doc->m_groups[2].get());
        QVERIFY(doc->IsModified());
    }

    // Ids link as they always did: a repeated zone or group id (a file made
    // by hand) links to the later of its holders.
    void repeatedIdsLinkToTheLater()
    {
        doc->AddServer("127.0.0.1", 27015, "", doc->m_groups[0].get());
        QByteArray bytes = layoutfile::save(*doc);
        // Zone "Internet" gets id 0 of the first zone, group "HLTV Local" id 2 of "Servers".
        bytes.replace(bytes.indexOf(QByteArray("Internet")) + 8, 4, hex("00000000"));
        bytes.replace(bytes.indexOf(QByteArray("HLTV Local")) + 10, 4, hex("02000000"));
        QVERIFY(load(bytes));
        QVERIFY(env.op.messages.empty());
        QCOMPARE(doc->m_groups[0]->m_pZone, doc->m_zones[1].get());
        QCOMPARE(doc->m_groups[1]->m_pZone, doc->m_zones[1].get());
        QCOMPARE(doc->m_groups[2]->m_pZone, doc->m_zones[0].get()); // its zone id 1 is gone
        QCOMPARE(doc->m_objects[0]->m_pGroup, doc->m_groups[1].get());
    }

    // No two objects on one address: of an address the file repeats, the
    // first object is kept, and one message names every repeated address.
    void repeatedAddressesKeepTheFirst()
    {
        const auto put = [&](const char* address, int port, const char* password) {
            auto server = std::make_unique<CHLServer>(env.context());
            server->m_strAddress = address;
            server->m_nPort = port;
            server->m_strRconPassword = password;
            server->m_pGroup = doc->m_groups[0].get();
            doc->m_objects.push_back(std::move(server));
        };
        put("127.0.0.1", 27015, "first");
        put("127.0.0.2", 27015, "");
        put("127.0.0.1", 27015, "second");
        put("127.0.0.1", 27016, "");
        put("127.0.0.2", 27015, "");
        put("127.0.0.1", 27015, "third");
        QVERIFY(load(layoutfile::save(*doc)));
        QCOMPARE(env.op.messages, std::vector<std::string>{
                                      "This layout names 2 addresses more than once; only the first object of "
                                      "each was kept: 127.0.0.1:27015, 127.0.0.2:27015."});
        QCOMPARE(doc->m_objects.size(), std::size_t{3});
        QCOMPARE(doc->m_objects[0]->m_strRconPassword, std::string("first"));
        QCOMPARE(doc->m_objects[2]->GetName(), std::string("127.0.0.1:27016"));
        QVERIFY(doc->IsModified());

        // Many repeats: ten named, the rest counted.
        doc->m_objects.clear();
        for (int copy = 0; copy < 2; ++copy)
            for (int i = 0; i < 12; ++i)
                put("127.0.1.1", 27000 + i, "");
        env.op.messages.clear();
        QVERIFY(load(layoutfile::save(*doc)));
        QCOMPARE(env.op.messages.size(), std::size_t{1});
        QVERIFY(env.op.messages[0].find("127.0.1.1:27009 and 2 more.") != std::string::npos);
        QCOMPARE(doc->m_objects.size(), std::size_t{12});
    }

    void savingIsAtomicAndPrivate()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("park.qvl"));
        QString error;
        QVERIFY(layoutfile::saveToFile(*doc, path, error));
        QVERIFY(!doc->IsModified());
        QCOMPARE(QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                                   QFileDevice::WriteGroup | QFileDevice::WriteOther),
                 QFileDevice::Permissions());
        const QByteArray first = [&] {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            return file.readAll();
        }();

        // A save that cannot complete (here: the file size limit, as a full
        // disk would) fails and leaves the previous file whole, also when the
        // layout is small enough to sit in the write buffer until the end,
        // and without the size limit's signal ending the program.
        doc->AddZone("Second", 2);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 64;
        QVERIFY(first.size() > 64);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool completed = layoutfile::saveToFile(*doc, path, error);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!completed);
        QVERIFY2(error.contains(QStringLiteral("large")) || error.contains(QStringLiteral("space")),
                 qPrintable(error));
        QVERIFY(doc->IsModified());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), first);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("park.qvl")});

        CQuorvaneDoc reopened(env.context());
        QVERIFY(layoutfile::openFile(reopened, path, error));
        QCOMPARE(reopened.m_zones.size(), std::size_t{2});
        QVERIFY(!layoutfile::openFile(reopened, dir.filePath(QStringLiteral("missing")), error));
    }
};

QTEST_GUILESS_MAIN(TestLayoutFile)
#include "tst_layoutfile.moc"
