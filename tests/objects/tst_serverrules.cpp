// The replies the park actions read: the rules reply (also in parts) and
// the map list of "maps *", against well-formed and hostile input.
#include "objects/MapList.h"
#include "objects/OobDatagrams.h"
#include "objects/ServerRules.h"

#include <QTest>

namespace {

// FF FF FF FF 'E': the rules reply's header ("\xFF" "E" kept apart, E being a hex digit).
const std::string kRulesHead = std::string(4, '\xFF') + 'E';

std::string rulesReply(const std::vector<std::pair<std::string, std::string>>& rules, int announced = -1)
{
    const int count = announced < 0 ? static_cast<int>(rules.size()) : announced;
    std::string datagram = kRulesHead;
    datagram.push_back(static_cast<char>(count & 0xFF));
    datagram.push_back(static_cast<char>((count >> 8) & 0xFF));
    for (const auto& [name, value] : rules) {
        datagram += name;
        datagram.push_back('\0');
        datagram += value;
        datagram.push_back('\0');
    }
    return datagram;
}

std::string part(std::uint32_t id, int number, int total, std::string_view bytes)
{
    std::string datagram("\xFE\xFF\xFF\xFF", 4);
    for (int shift = 0; shift < 32; shift += 8)
        datagram.push_back(static_cast<char>((id >> shift) & 0xFF));
    datagram.push_back(static_cast<char>((number << 4) | total));
    datagram += bytes;
    return datagram;
}

QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

class TestServerRules : public QObject
{
    Q_OBJECT

private slots:
    void rulesReplyIsRead()
    {
        const auto rules = replies::parseRules(rulesReply({{"mp_timelimit", "30"}, {"sv_gravity", "800"}}));
        QVERIFY(rules);
        QCOMPARE(rules->announced, 2);
        QVERIFY(rules->complete);
        QCOMPARE(rules->entries.size(), std::size_t(2));
        QCOMPARE(rules->entries[1].first, std::string("sv_gravity"));
        QCOMPARE(rules->entries[1].second, std::string("800"));
        // A count above 255 takes its high byte.
        std::vector<std::pair<std::string, std::string>> many;
        for (int i = 0; i < 300; ++i)
            many.emplace_back("r" + std::to_string(i), std::to_string(i));
        QCOMPARE(replies::parseRules(rulesReply(many))->entries.size(), std::size_t(300));
        QVERIFY(!replies::parseRules("\xFF\xFF\xFF\xFFm"));
        QVERIFY(!replies::parseRules("\xFE\xFF\xFF\xFF" + kRulesHead.substr(4)));
    }

    void hostileRulesStayBounded_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("complete");
        QTest::addRow("count larger than the pairs") << bytes(rulesReply({{"a", "1"}}, 40)) << 1 << false;
        QTest::addRow("no count") << bytes(kRulesHead) << 0 << false;
        QTest::addRow("name without its value")
            << bytes(rulesReply({{"a", "1"}}, 2) + "lonely") << 1 << false;
        QTest::addRow("markup and control characters")
            << bytes(rulesReply({{"<b>x</b>", "\x1b[31mred\x07"}})) << 1 << true;
        std::vector<std::pair<std::string, std::string>> tooMany(10000, {"x", "1"});
        QTest::addRow("10000 entries announced and sent")
            << bytes(rulesReply(tooMany, 10000)) << int(replies::Rules::kMaxRules) << false;
    }

    void hostileRulesStayBounded()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, entries);
        QFETCH(bool, complete);
        const auto rules = replies::parseRules(std::string_view(datagram.constData(), datagram.size()));
        QVERIFY(rules);
        QCOMPARE(static_cast<int>(rules->entries.size()), entries);
        QCOMPARE(rules->complete, complete);
    }

    void partsMakeOneReply()
    {
        const std::string whole = rulesReply({{"mp_timelimit", "30"}, {"sv_gravity", "800"}, {"x", "y"}});
        const std::string a = whole.substr(0, 10), b = whole.substr(10, 10), c = whole.substr(20);
        SplitReplies split;
        // Out of order, as datagrams may come.
        QVERIFY(!split.add(part(7, 2, 3, c), 100));
        QVERIFY(!split.add(part(7, 0, 3, a), 100));
        const auto joined = split.add(part(7, 1, 3, b), 101);
        QVERIFY(joined);
        QCOMPARE(*joined, whole);
        QCOMPARE(replies::parseRules(*joined)->entries.size(), std::size_t(3));
        // Parts of another reply start afresh; stale parts are dropped.
        QVERIFY(!split.add(part(8, 0, 2, a), 200));
        QVERIFY(!split.add(part(9, 1, 2, whole.substr(10)), 200));
        QVERIFY(!split.add(part(9, 0, 2, a), 200 + SplitReplies::kMaxAgeSeconds + 1));
        QVERIFY(split.add(part(9, 1, 2, whole.substr(10)), 200 + SplitReplies::kMaxAgeSeconds + 1));
    }

    void brokenPartsMakeNothing_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addRow("header only") << bytes(part(1, 0, 1, ""));
        QTest::addRow("no part count") << bytes(part(1, 0, 0, kRulesHead));
        QTest::addRow("number beyond the count") << bytes(part(1, 3, 2, kRulesHead));
        QTest::addRow("whole reply without its prefix") << bytes(part(1, 0, 1, "EEEEEE"));
        QTest::addRow("a split reply inside a split reply") << bytes(part(1, 0, 1, part(2, 0, 1, kRulesHead)));
        QTest::addRow("not a part at all") << bytes(rulesReply({{"a", "b"}}));
    }

    void brokenPartsMakeNothing()
    {
        QFETCH(QByteArray, datagram);
        SplitReplies split;
        QVERIFY(!split.add(std::string_view(datagram.constData(), datagram.size()), 0));
    }

    void rulesQueries()
    {
        QCOMPARE(oob::rulesQuery(), std::string("\xFF\xFF\xFF\xFFrules\0", 10));
        QCOMPARE(oob::rulesChallengeQuery(0x01020304u), std::string("\xFF\xFF\xFF\xFFV\x04\x03\x02\x01", 9));
    }

    void mapListIsRead()
    {
        MapListReader maps;
        for (const char* line : {"-------------", "de_nuke.bsp", "  cs_office.BSP \r", "de_dust2.bsp",
                                 "de_nuke.bsp", "Usage:  maps <substring>", "maps.bsp.txt", ".bsp"})
            maps.addLine(line);
        QCOMPARE(maps.maps(), (std::vector<std::string>{"cs_office", "de_dust2", "de_nuke"}));
        QCOMPARE(maps.refused(), std::size_t(0));
        QCOMPARE(mapNameOfLine("de_dust2.bsp"), std::string("de_dust2"));
        QCOMPARE(mapNameOfLine("de_dust2"), std::string());
    }

    void hostileMapsAreLeftOut()
    {
        MapListReader maps;
        const std::string nul("a\0b.bsp", 7);
        for (const std::string& line : {std::string("<b>x</b>.bsp"), std::string("evil\";quit.bsp"),
                                        std::string("two words.bsp"), std::string("bell\x07.bsp"), nul,
                                        std::string("caf\xC3\xA9.bsp"), std::string(70, 'x') + ".bsp"})
            QVERIFY(!maps.addLine(line));
        QCOMPARE(maps.count(), std::size_t(0));
        QCOMPARE(maps.refused(), std::size_t(7));
        // Ten thousand maps: the first kMaxMaps kept, the rest counted.
        for (int i = 0; i < 10000; ++i)
            maps.addLine("map" + std::to_string(i) + ".bsp");
        QCOMPARE(maps.count(), MapListReader::kMaxMaps);
        QVERIFY(maps.truncated());
        QCOMPARE(maps.refused(), std::size_t(7 + 10000 - MapListReader::kMaxMaps));
        maps.clear();
        QCOMPARE(maps.count(), std::size_t(0));
        QVERIFY(!maps.truncated());
    }
};

QTEST_GUILESS_MAIN(TestServerRules)
#include "tst_serverrules.moc"
