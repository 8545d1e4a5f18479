#include "layout/CQuorvaneDoc.h"
#include "layout/CommandIds.h"
#include "objects/CGTV.h"
#include "support/DocumentNames.h"
#include "support/TestContext.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Records the order in which the document ticks its objects.
class TickRecorder : public CCommonObject
{
public:
    TickRecorder(const CoreContext& context, std::vector<std::string>& log, std::string tag)
        : CCommonObject(context), m_log(log), m_tag(std::move(tag))
    {
    }
    void Tick() override { m_log.push_back(m_tag); }

private:
    std::vector<std::string>& m_log;
    std::string m_tag;
};

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<CQuorvaneDoc> doc;

    // Places an object in the list without a channel, so that no address
    // used here is ever looked up or sent to.
    CCommonObject* addObject(const std::string& address, int port, CGroup* group)
    {
        auto object = std::make_unique<CCommonObject>(env.context());
        object->m_strAddress = address;
        object->m_nPort = port;
        object->m_pGroup = group;
        doc->m_objects.push_back(std::move(object));
        return doc->m_objects.back().get();
    }

private slots:
    void init()
    {
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        doc->SetModifiedFlag(false);
    }

    void addZoneAndGroupThroughTheirDialogs()
    {
        env.op.groupAnswers.push_back(AddGroupAnswer{1, "Casters", 1});
        doc->OnAddGroup();
        QCOMPARE(env.op.groupRequests.back().zoneNames, (std::vector<std::string>{"LAN Local", "Internet"}));
        QCOMPARE(doc->m_groups.back()->m_pZone, doc->m_zones[1].get());
        QCOMPARE(doc->m_groups.back()->m_nLevel, 2);
        doc->SetModifiedFlag(false);

        env.op.zoneAnswers.push_back(AddZoneAnswer{"Stage", 2});
        QSignalSpy hints(doc.get(), &CQuorvaneDoc::viewsUpdated);
        QVERIFY(doc->OnCommand(ID_LAYOUT_ADDZONE));
        QCOMPARE(env.op.zoneRequests.back().presetLevelIndex, 2); // one above the highest level (2)
        QCOMPARE(doc->m_zones.back()->m_nLevel, 3);
        QVERIFY(doc->IsModified());
        QCOMPARE(hints.size(), 1);

        // No level chosen gives level 0; Cancel adds nothing.
        env.op.zoneAnswers.push_back(AddZoneAnswer{"", -1});
        doc->OnAddZone();
        QCOMPARE(doc->m_zones.back()->m_nLevel, 0);
        const auto count = doc->m_zones.size();
        doc->OnAddZone();
        QCOMPARE(doc->m_zones.size(), count);

        // A group needs a zone.
        doc->DeleteContents();
        doc->OnAddGroup();
        QCOMPARE(env.op.messages,
                 std::vector<std::string>{"You must define at least one Zone before any group creation"});
        QCOMPARE(env.op.groupRequests.size(), std::size_t{1});
        QVERIFY(doc->m_groups.empty());
    }

    void deleteRefusedWhileNotEmpty()
    {
        CZone* lan = doc->m_zones[0].get();
        CGroup* servers = doc->m_groups[0].get();
        CCommonObject* object = addObject("127.0.0.1", 27015, servers);

        doc->SetSelection(servers, nullptr);
        doc->OnCommand(ID_ZONE_DELETE);
        QCOMPARE(env.op.messages, std::vector<std::string>{"Cannot delete a Zone/Group that is not empty"});
        QCOMPARE(doc->m_groups.size(), std::size_t{3});
        QCOMPARE(doc->m_pSelectedZone, servers);

        doc->SetSelection(lan, nullptr);
        doc->OnDeleteZone();
        QCOMPARE(doc->m_zones.size(), std::size_t{2});
        // Empty the zone group by group, then the zone goes.
        doc->SetSelection(nullptr, object);
        doc->OnCommand(ID_OBJECT_DELETE);
        QVERIFY(doc->m_objects.empty());
        QCOMPARE(doc->m_pSelectedObject, nullptr);
        for (CGroup* group : {servers, doc->m_groups[1].get()}) {
            doc->SetSelection(group, nullptr);
            doc->OnDeleteZone();
            QCOMPARE(doc->m_pSelectedZone, nullptr);
        }
        QCOMPARE(names(doc->m_groups), std::vector<std::string>{"HLTV Internet"});
        doc->SetModifiedFlag(false);
        doc->SetSelection(lan, nullptr);
        doc->OnDeleteZone();
        QCOMPARE(names(doc->m_zones), std::vector<std::string>{"Internet"});
        QCOMPARE(env.op.messages.size(), std::size_t{2});
        QVERIFY(doc->IsModified());
    }

    // A raised zone or group goes to the tail of its list; level 1 is the lowest.
    void layerCommandsAtTheirLimits()
    {
        CZone* lan = doc->m_zones[0].get();
        QSignalSpy hints(doc.get(), &CQuorvaneDoc::viewsUpdated);
        doc->SetSelection(lan, nullptr);
        doc->OnCommand(ID_ZONE_INCREASELAYER);
        QCOMPARE(lan->m_nLevel, 2);
        QCOMPARE(names(doc->m_zones), (std::vector<std::string>{"Internet", "LAN Local"}));
        QCOMPARE(hints.last()[0].toInt(), 54);
        CZone* internet = doc->m_zones[0].get();
        internet->m_nLevel = 1;
        doc->SetSelection(internet, nullptr);
        doc->OnDecreaseLayer();
        QCOMPARE(internet->m_nLevel, 1);
        QCOMPARE(doc->m_zones.front().get(), internet);
        CGroup* servers = doc->m_groups[0].get();
        doc->SetSelection(servers, nullptr);
        doc->OnIncreaseLayer();
        QCOMPARE(doc->m_groups.back().get(), servers);
    }

    void moveAmongSiblingsOfItsLevel()
    {
        CZone* internet = doc->m_zones[1].get();
        CZone* third = doc->AddZone("Third", 1);
        // Order: LAN(1) Internet(2) Third(1). Third moves up past Internet to stand before LAN.
        doc->SetSelection(third, nullptr);
        doc->OnCommand(ID_ZONE_MOVEUP);
        QCOMPARE(names(doc->m_zones), (std::vector<std::string>{"Third", "LAN Local", "Internet"}));
        doc->SetSelection(internet, nullptr); // no sibling of its level
        doc->OnMoveZoneUp();
        QCOMPARE(names(doc->m_zones), (std::vector<std::string>{"Third", "LAN Local", "Internet"}));
        doc->SetSelection(third, nullptr);
        doc->OnCommand(ID_ZONE_MOVEDOWN);
        QCOMPARE(names(doc->m_zones), (std::vector<std::string>{"LAN Local", "Third", "Internet"}));

        // A group likewise, in its zone: Servers(LAN,1) HLTV Local(LAN,2) HLTV Internet(Internet,1) + Extra(LAN,1)
        CGroup* extra = doc->AddGroup("Extra", doc->m_zones[0].get(), 1);
        doc->SetSelection(extra, nullptr);
        doc->OnMoveZoneUp();
        QCOMPARE(names(doc->m_groups),
                 (std::vector<std::string>{"Extra", "Servers", "HLTV Local", "HLTV Internet"}));
        // HLTV Internet has no sibling in its zone.
        doc->SetSelection(doc->m_groups[3].get(), nullptr);
        doc->OnMoveZoneUp();
        QCOMPARE(doc->m_groups[3]->m_strName, std::string("HLTV Internet"));
    }

    void renameThroughPrompt()
    {
        CGroup* servers = doc->m_groups[0].get();
        doc->SetSelection(servers, nullptr);
        env.op.lineAnswers = {std::string("Finals"), std::nullopt};
        doc->OnCommand(ID_ZONE_PROPERTIES);
        QCOMPARE(env.op.prompts[0], (std::pair<std::string, std::string>{"Enter new name", "Servers"}));
        doc->SetModifiedFlag(false);
        doc->OnRenameZone(); // cancelled
        QCOMPARE(servers->m_strName, std::string("Finals"));
        QVERIFY(!doc->IsModified());
    }

    void moveObjectWithinItsGroup()
    {
        CGroup* servers = doc->m_groups[0].get();
        CGroup* hltv = doc->m_groups[1].get();
        CCommonObject* a = addObject("127.0.0.1", 1, servers);
        addObject("127.0.0.2", 2, hltv);
        CCommonObject* c = addObject("127.0.0.3", 3, servers);
        QSignalSpy hints(doc.get(), &CQuorvaneDoc::viewsUpdated);
        doc->SetSelection(nullptr, c);
        doc->OnCommand(ID_OBJECT_MOVEUP);
        QCOMPARE(objectNames(*doc), (std::vector<std::string>{"127.0.0.3:3", "127.0.0.1:1", "127.0.0.2:2"}));
        QCOMPARE(hints.last()[0].toInt(), 0);
        doc->SetSelection(nullptr, a);
        doc->OnCommand(ID_HLTV_MOVEDOWN); // no later object in its group
        QCOMPARE(objectNames(*doc), (std::vector<std::string>{"127.0.0.3:3", "127.0.0.1:1", "127.0.0.2:2"}));
    }

    void findObjectIsByteExact()
    {
        CGroup* servers = doc->m_groups[0].get();
        addObject("127.0.0.01", 27015, servers);
        addObject("127.0.0.1 ", 27015, servers);
        addObject("Host.example", 27015, servers);
        QCOMPARE(doc->FindObject("127.0.0.1", 27015), nullptr);
        QCOMPARE(doc->FindObject("host.example", 27015), nullptr);
        CCommonObject* exact = addObject("127.0.0.1", 27015, servers);
        QCOMPARE(doc->FindObject("127.0.0.1", 27015), exact);
        QCOMPARE(doc->FindObject("127.0.0.1", 27016), nullptr);
    }

    // Every object once a second, in list order, however the second is cut
    // into slices; the views hear of it once, at its end; the tick counts to six.
    void slicedSecondTicksEveryObjectOnceAndEndsOnce_data()
    {
        QTest::addColumn<int>("objects");
        QTest::addColumn<int>("slices");
        QTest::newRow("more objects than slices") << 23 << 10;
        QTest::newRow("one slice") << 5 << 1;
    }

    void slicedSecondTicksEveryObjectOnceAndEndsOnce()
    {
        QFETCH(int, objects);
        QFETCH(int, slices);
        std::vector<std::string> ticks;
        std::vector<std::string> inOrder;
        for (int i = 0; i < objects; ++i) {
            inOrder.push_back(std::to_string(i));
            doc->m_objects.push_back(std::make_unique<TickRecorder>(env.context(), ticks, inOrder.back()));
        }
        QSignalSpy hints(doc.get(), &CQuorvaneDoc::viewsUpdated);
        for (int second = 0; second < 7; ++second) {
            for (int slice = 0; slice < slices; ++slice) {
                QCOMPARE(hints.size(), second);
                doc->TickSlice(slice, slices);
            }
            QCOMPARE(hints.size(), second + 1);
            QCOMPARE(hints.last()[0].toInt(), 13);
            QCOMPARE(doc->m_nTick, (second + 1) % 6);
            QCOMPARE(std::vector<std::string>(ticks.end() - objects, ticks.end()), inOrder);
        }
        QCOMPARE(ticks.size(), std::size_t(7 * objects));
        doc->TickSecond();
        QCOMPARE(ticks.size(), std::size_t(8 * objects));
    }

    // The relinking second links through one index of names for all its
    // slices; an object deleted between two of them is never linked to.
    void relinkingSecondForgetsWhatIsDeletedMidway()
    {
        const auto hubManager = [&](int port, const std::string& parent) {
            auto manager = std::make_unique<CGTV>(env.context());
            manager->m_strAddress = "127.0.0.1";
            manager->m_nPort = port;
            manager->m_nHubs = 1;
            manager->m_hubs[0].m_strParent = parent;
            CGTV* placed = manager.get();
            doc->m_objects.push_back(std::move(manager));
            return placed;
        };
        CGTV* first = hubManager(27020, "127.0.0.1:27016"); // looks up, so the index is made
        CCommonObject* server = addObject("127.0.0.1", 27015, doc->m_groups[0].get());
        CCommonObject* kept = addObject("127.0.0.1", 27016, doc->m_groups[0].get());
        CGTV* last = hubManager(27021, "127.0.0.1:27015");
        doc->m_nTick = 5;
        doc->TickSlice(0, 3);
        QCOMPARE(first->m_hubs[0].m_pLinked, kept);
        doc->ClearLinksTo(*server);
        doc->m_objects.erase(doc->m_objects.begin() + 1);
        doc->TickSlice(1, 3);
        doc->TickSlice(2, 3); // the second hub manager's turn
        QCOMPARE(last->m_hubs[0].m_pLinked, nullptr);
    }

    // The players' history is sampled once a minute, each slice its own
    // objects, so that a large park's minute is spread over the second; a
    // minute that begins in the middle of a second still reaches every object.
    void historyOfTheMinuteIsSampledSliceBySlice()
    {
        constexpr int kObjects = 23;
        constexpr int kSlices = 10;
        std::vector<CCommonObject*> objects;
        for (int i = 0; i < kObjects; ++i) {
            CCommonObject* object = addObject("127.0.0.1", 27015 + i, doc->m_groups[0].get());
            object->m_nStatus = CSStatus_MONITORING;
            object->m_nPlayers = i;
            objects.push_back(object);
        }
        const auto sampled = [&](std::int64_t minute) {
            int count = 0;
            for (CCommonObject* object : objects) {
                const ObjectFeed* feed = doc->m_feeds.feed(object->GetName());
                count += feed && feed->history.lastDay(minute * 60).back().has_value();
            }
            return count;
        };
        const std::int64_t minute = 29'000'000;
        env.clock.set(minute * 60 + 59);
        for (int slice = 0; slice < kSlices; ++slice) {
            if (slice == kSlices / 2)
                env.clock.set((minute + 1) * 60); // the new minute begins mid-second
            doc->TickSlice(slice, kSlices);
            const int ticked = kObjects * (slice + 1) / kSlices;
            QCOMPARE(sampled(minute), slice < kSlices / 2 ? ticked : kObjects * (kSlices / 2) / kSlices);
            QCOMPARE(sampled(minute + 1), slice < kSlices / 2 ? 0 : ticked - kObjects * (kSlices / 2) / kSlices);
        }
        env.clock.set((minute + 1) * 60 + 1);
        for (int slice = 0; slice < kSlices; ++slice)
            doc->TickSlice(slice, kSlices);
        QCOMPARE(sampled(minute + 1), kObjects);
        const ObjectFeed* last = doc->m_feeds.feed(objects.back()->GetName());
        QCOMPARE(last->history.latest(), std::optional<int>(kObjects - 1));
    }

    void commandsWithoutPickDoNothing()
    {
        QSignalSpy hints(doc.get(), &CQuorvaneDoc::viewsUpdated);
        for (int id : {ID_ZONE_DELETE, ID_ZONE_INCREASELAYER, ID_ZONE_DECREASELAYER, ID_ZONE_MOVEUP,
                       ID_ZONE_MOVEDOWN, ID_ZONE_PROPERTIES, ID_OBJECT_DELETE, ID_OBJECT_MOVEUP, ID_OBJECT_MOVEDOWN})
            QVERIFY(doc->OnCommand(id));
        QCOMPARE(hints.size(), 0);
        QVERIFY(!doc->IsModified());
        QVERIFY(env.op.prompts.empty());
        QVERIFY(!doc->OnCommand(12345));
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
