#include "core/CommandArguments.h"
#include "core/HostAddress.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/CommandIds.h"
#include "layout/RangeValidation.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/CRconSocket.h"
#include "objects/OobDatagrams.h"
#include "support/DocumentNames.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"

#include <QTest>

class TestDocumentObjects : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<CQuorvaneDoc> doc;

    CGroup* servers() const { return doc->m_groups[0].get(); }
    CGroup* hltvLocal() const { return doc->m_groups[1].get(); }

    // A dialog answer: the address, port, group and rcon password.
    static ObjectDialogValues answer(std::string address, std::uint32_t port, int group, std::string password = {})
    {
        ObjectDialogValues values;
        values.address = std::move(address);
        values.port = port;
        values.groupIndex = group;
        values.rconPassword = std::move(password);
        return values;
    }

    // A proxy on address:port that names the same as its external address.
    CHLTV* proxy(const std::string& address, int port, const std::string& rcon = {}, const std::string& own = {})
    {
        return static_cast<CHLTV*>(doc->AddProxy(address, port, hltvLocal(), rcon, own, address, port, true, false));
    }

    void tickSeconds(int seconds)
    {
        for (int i = 0; i < seconds; ++i)
            doc->TickSecond();
    }

    static RangeDialogAnswer range(const std::string& prefix, int firstByte, int lastByte, std::uint32_t firstPort,
                                   std::uint32_t lastPort, int typeIndex)
    {
        return {prefix, firstByte, lastByte, firstPort, lastPort, 0, typeIndex, "typed"};
    }

private slots:
    void init()
    {
        env.op = ScriptedOperator{};
        env.clock.set(2'000'000);
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
    }

    void duplicatesAreRefused()
    {
        proxy("127.168.0.11", 27020);
        QVERIFY(!doc->AddServer("127.168.0.11", 27020, "pw", servers()));
        QVERIFY(!doc->AddObject(2, "", "127.168.0.11", 27020, servers()));
        QCOMPARE(env.op.messages,
                 std::vector<std::string>(2, "This Object already exists\nGroup : HLTV Local\nZone : LAN Local"));
        QCOMPARE(doc->m_objects.size(), std::size_t{1});
        QVERIFY(doc->AddServer("127.168.0.11", 27021, "pw", servers()));
    }

    void addThroughTheDialog()
    {
        doc->SetSelection(servers(), nullptr);
        doc->m_strLastAddress = "127.1.1.1";
        env.op.objectAnswers.push_back(answer("127.1.1.2", 27016, 0, "secret"));
        QVERIFY(doc->OnCommand(ID_OBJECTS_ADDSERVER));
        const ObjectDialogRequest& request = env.op.objectRequests.back();
        QVERIFY(request.serverMode);
        QCOMPARE(request.values.address, std::string("127.1.1.1"));
        QCOMPARE(request.preselectLabel, std::string("LAN Local/Servers"));
        QCOMPARE(request.groupLabels, (std::vector<std::string>{"LAN Local/Servers", "LAN Local/HLTV Local",
                                                                "Internet/HLTV Internet"}));

        auto* server = dynamic_cast<CHLServer*>(doc->m_objects.back().get());
        QVERIFY(server && server->channel());
        QCOMPARE(server->GetName(), std::string("127.1.1.2:27016"));
        QCOMPARE(server->m_strRconPassword, std::string("secret"));
        QCOMPARE(doc->m_strLastAddress, std::string("127.1.1.2"));

        // Cancel changes nothing, not even the last address.
        doc->OnAddServer();
        QCOMPARE(doc->m_objects.size(), std::size_t{1});
        QCOMPARE(doc->m_strLastAddress, std::string("127.1.1.2"));

        // A proxy without an external address names its own.
        doc->SetSelection(doc->m_zones[0].get(), nullptr); // a zone preselects nothing
        ObjectDialogValues values = answer("127.2.2.2", 27020, 1);
        values.proxyPassword = "pp";
        values.externalAddress = "ignored";
        values.exportWeb = true;
        env.op.objectAnswers.push_back(values);
        doc->OnAddProxy();
        QVERIFY(!env.op.objectRequests.back().serverMode);
        QCOMPARE(env.op.objectRequests.back().preselectLabel, std::string());
        auto* proxy = dynamic_cast<CHLTV*>(doc->m_objects.back().get());
        QVERIFY(proxy && proxy->m_bExportWeb);
        QCOMPARE(proxy->GetExternalName(), std::string("127.2.2.2:27020"));
        QCOMPARE(proxy->m_strProxyPassword, std::string("pp"));
    }

    void rangeExpansionOrder()
    {
        env.op.rangeAnswers.push_back(range("127.168.0.", 10, 12, 27015, 27016, 1));
        doc->OnCommand(ID_OBJECTS_ADDSERVERRANGE);
        QCOMPARE(objectNames(*doc), (std::vector<std::string>{"127.168.0.10:27015", "127.168.0.10:27016",
                                                              "127.168.0.11:27015", "127.168.0.11:27016",
                                                              "127.168.0.12:27015", "127.168.0.12:27016"}));
        for (const auto& object : doc->m_objects) {
            QVERIFY(object->IsGameServer());
            QCOMPARE(object->m_strRconPassword, std::string("typed")); // the dialog's password for each
        }
        QVERIFY(env.op.questions.empty()); // a small range is made without asking

        // The next range dialog starts from that address; "HLTV" makes proxies.
        env.op.rangeAnswers.push_back(range("127.168.0.", 11, 13, 27015, 27015, 0));
        doc->OnCommand(ID_OBJECTS_ADDHLTVRANGE);
        QCOMPARE(env.op.rangeRequests.back().presetAddress, std::string("127.168.0.10"));
        QCOMPARE(env.op.messages.size(), std::size_t{2}); // .11 and .12 exist, each reported
        QCOMPARE(doc->m_objects.size(), std::size_t{7});
        auto* proxy = dynamic_cast<CHLTV*>(doc->m_objects.back().get());
        QVERIFY(proxy);
        QCOMPARE(proxy->GetExternalName(), std::string("127.168.0.13:27015"));
    }

    // Hub managers come from the Objects menu, and as ranges of "GTV" from
    // both range commands, with the range's rcon password.
    void hubManagersAddedByCommand()
    {
        doc->SetSelection(hltvLocal(), nullptr);
        env.op.objectAnswers.push_back(answer("127.0.0.5:27100", 27015, 2, "hub"));
        QVERIFY(doc->OnCommand(ID_OBJECTS_ADDHUBMANAGER));
        const ObjectDialogRequest& request = env.op.objectRequests.back();
        QVERIFY(request.serverMode);
        QCOMPARE(request.preselectLabel, std::string("LAN Local/HLTV Local"));
        auto* manager = dynamic_cast<CGTV*>(doc->m_objects.back().get());
        QVERIFY(manager && manager->channel());
        QCOMPARE(manager->GetName(), std::string("127.0.0.5:27100"));
        QCOMPARE(manager->m_strRconPassword, std::string("hub"));
        QCOMPARE(manager->m_pGroup.view(), static_cast<const ObjectGroup*>(doc->m_groups[2].get()));

        for (const int command : {ID_OBJECTS_ADDSERVERRANGE, ID_OBJECTS_ADDHLTVRANGE}) {
            const int first = command == ID_OBJECTS_ADDSERVERRANGE ? 10 : 20;
            env.op.rangeAnswers.push_back(range("127.0.1.", first, first + 1, 27015, 27015, RangeTypeGTV));
            doc->OnCommand(command);
        }
        QCOMPARE(doc->m_objects.size(), std::size_t{5});
        for (std::size_t i = 1; i < doc->m_objects.size(); ++i) {
            QVERIFY(doc->m_objects[i]->IsHubManager());
            QCOMPARE(doc->m_objects[i]->m_strRconPassword, std::string("typed"));
        }
        QCOMPARE(doc->m_objects.back()->GetName(), std::string("127.0.1.21:27015"));
    }

    // A range of more than 1,024 objects is made only when the operator says
    // so, after being told how many it makes; a range is checked before.
    void rangeLimits()
    {
        env.op.rangeAnswers.push_back(range("127.0.0.", 1, 1, 27015, 270150, 1));
        env.op.yesNoAnswers.push_back(false);
        doc->OnAddServerRange();
        QCOMPARE(env.op.questions,
                 std::vector<std::string>{"This range makes 243136 objects. Add them all?"});
        QVERIFY(doc->m_objects.empty());

        env.op.rangeAnswers.push_back(range("127.0.0.", 1, 5, 27015, 27219, 1)); // 5 x 205 = 1,025
        doc->OnAddServerRange();
        QCOMPARE(env.op.questions.size(), std::size_t{2});
        QCOMPARE(env.op.questions.back(), std::string("This range makes 1025 objects. Add them all?"));
        QVERIFY(doc->m_objects.empty());

        // A range may end at the largest port.
        env.op.rangeAnswers.push_back(range("127.0.0.", 7, 7, 4294967294u, 4294967295u, 1));
        doc->OnAddServerRange();
        QCOMPARE(doc->m_objects.size(), std::size_t{2});
        env.op.rangeAnswers.push_back(range("127.0.0.", 8, 8, 4294967295u, 4294967295u, 1));
        doc->OnAddServerRange();
        QCOMPARE(doc->m_objects.size(), std::size_t{3});

        QCOMPARE(validateRange({10, 0, 0, 5}, {10, 0, 1, 5}, 27015, 27015),
                 std::vector<std::string>{kAddressRangeMessage});
        QCOMPARE(validateRange({10, 0, 0, 5}, {10, 0, 1, 5}, 27016, 27015),
                 (std::vector<std::string>{kAddressRangeMessage, kPortRangeMessage}));
        QCOMPARE(validateRange({10, 0, 0, 6}, {10, 0, 0, 5}, 1, 1).size(), std::size_t{1});
        QVERIFY(validateRange({10, 0, 0, 5}, {10, 0, 0, 5}, 27015, 27015).empty());
    }

    // "host:port" in the address field gives the port; an address that
    // cannot be used makes nothing.
    void typedAddressIsCheckedFirst()
    {
        env.op.objectAnswers = {answer("127.0.0.1:27999", 27015, 0), answer("127.0.0.1:27999:27015", 27015, 0),
                                answer("host name", 27015, 0)};
        doc->OnAddServer();
        QCOMPARE(objectNames(*doc), std::vector<std::string>{"127.0.0.1:27999"});
        doc->OnAddServer();
        doc->OnAddProxy();
        QCOMPARE(env.op.messages, (std::vector<std::string>(2, address::kUnusableMessage)));
        QCOMPARE(doc->m_objects.size(), std::size_t{1});
        QCOMPARE(doc->m_strLastAddress, std::string("127.0.0.1"));
    }

    void properties()
    {
        CCommonObject* server = doc->AddServer("127.0.0.1", 27015, "old", servers());
        doc->SetSelection(nullptr, server);
        env.op.objectAnswers.push_back(answer("127.0.0.1", 27015, 2, "new"));
        doc->OnCommand(ID_OBJECT_PROPERTIES);
        QVERIFY(env.op.objectRequests.back().propertiesMode);
        QCOMPARE(env.op.objectRequests.back().preselectLabel, std::string("LAN Local/Servers"));
        QCOMPARE(server->m_strRconPassword, std::string("new"));
        QCOMPARE(server->m_pGroup, doc->m_groups[2].get());
        QCOMPARE(server->GetName(), std::string("127.0.0.1:27015"));

        CHLTV* relay = static_cast<CHLTV*>(
            doc->AddProxy("127.0.0.2", 27020, hltvLocal(), "", "", "127.51.100.2", 27020, true, false));
        doc->SetSelection(nullptr, relay);
        ObjectDialogValues values = answer("127.0.0.2", 27020, 1);
        values.autoRecord = true;
        env.op.objectAnswers.push_back(values);
        doc->OnCommand(ID_HLTV_PROPERTIES);
        QVERIFY(env.op.objectRequests.back().values.useExternalAddress);
        QCOMPARE(relay->GetExternalName(), std::string("127.0.0.2:27020"));
        QVERIFY(relay->m_bAutoRecord);

        // A refused password is given again in Properties, also a hub manager's.
        CCommonObject* manager = doc->AddHubManager("127.0.0.3", 27019, "wrong", servers());
        manager->SuspendRcon("refused");
        doc->SetSelection(nullptr, manager);
        env.op.objectAnswers.push_back(answer("127.0.0.3", 27019, 0, "right"));
        doc->OnCommand(ID_OBJECT_PROPERTIES);
        QCOMPARE(env.op.objectRequests.back().values.rconPassword, std::string("wrong"));
        QCOMPARE(manager->m_strRconPassword, std::string("right"));
        QVERIFY(!manager->RconSuspended());
    }

    // Properties apply all or nothing: an address that is taken or unusable
    // leaves the password, the group and the address as they were (the
    // dialog gets the same check, to stay open for a correction).
    void refusedAddressAppliesNothing()
    {
        doc->AddServer("127.0.0.1", 27015, "first", servers());
        CCommonObject* second = doc->AddServer("127.0.0.2", 27015, "second", servers());
        CHLTV* relay = proxy("127.0.0.3", 27020, "relay", "pp");
        doc->SetModifiedFlag(false);
        const std::string taken = "This Object already exists\nGroup : Servers\nZone : LAN Local";
        for (CCommonObject* edited : {second, static_cast<CCommonObject*>(relay)}) {
            env.op.messages.clear();
            doc->SetSelection(nullptr, edited);
            const std::string before = edited->GetName();
            const int command = edited == second ? ID_OBJECT_PROPERTIES : ID_HLTV_PROPERTIES;
            ObjectDialogValues values = answer("127.0.0.1", 27015, 2, "typed for another machine");
            values.proxyPassword = "typed";
            values.exportWeb = false;
            for (const auto& [address, port] : std::vector<std::pair<std::string, std::uint32_t>>{
                     {"127.0.0.1", 27015}, {"not a host!", 27015}, {"127.0.0.9", 0}, {"127.0.0.9", 65536}}) {
                values.address = address;
                values.port = port;
                env.op.objectAnswers.push_back(values);
                doc->RunCommand(command);
            }
            QCOMPARE(env.op.messages,
                     (std::vector<std::string>{taken, address::kUnusableMessage,
                                               "The port must be a number from 1 to 65535.",
                                               "The port must be a number from 1 to 65535."}));
            QCOMPARE(edited->GetName(), before);
            QCOMPARE(edited->m_pGroup, edited == second ? servers() : hltvLocal());
            QVERIFY(edited->m_strRconPassword != "typed for another machine");
            QVERIFY(!doc->IsModified());
            QCOMPARE(doc->undoStack().count(), 0);
            // The dialog's check: its own address passes, a free one too.
            const auto& refuse = env.op.objectRequests.back().refuseAddress;
            QVERIFY(refuse);
            QCOMPARE(refuse("127.0.0.1", 27015), std::optional<std::string>(taken));
            QCOMPARE(refuse(edited->m_strAddress, static_cast<std::uint32_t>(edited->m_nPort)), std::nullopt);
            QCOMPARE(refuse("127.0.0.9", 27015), std::nullopt);
        }
        QCOMPARE(relay->m_strProxyPassword, std::string("pp"));
        QVERIFY(relay->m_bExportWeb);
    }

    void relinkAndDisconnect()
    {
        // The ticks send queries: both objects talk to peers of this test.
        LoopbackPeer proxyPeer;
        LoopbackPeer serverPeer;
        const std::string serverName = "127.0.0.1:" + std::to_string(serverPeer.port());
        CHLTV* relay = proxy("127.0.0.1", proxyPeer.port());
        relay->m_strLinkedAddress = serverName;
        tickSeconds(6);
        QCOMPARE(relay->m_pLinked, nullptr);

        // The server comes later: linked within six ticks.
        CCommonObject* server = doc->AddServer("127.0.0.1", serverPeer.port(), "", servers());
        tickSeconds(6);
        QCOMPARE(relay->m_pLinked, server);

        doc->SetSelection(nullptr, relay);
        doc->OnCommand(ID_HLTV_DISCONNECT);
        QCOMPARE(relay->m_pLinked, nullptr);
        QCOMPARE(relay->m_strLinkedAddress, serverName);
        QCOMPARE(relay->m_timeRelink, std::int64_t{2'000'010});
        env.clock.advance(10);
        tickSeconds(6);
        QCOMPARE(relay->m_pLinked, nullptr); // not strictly later yet
        env.clock.advance(1);
        tickSeconds(6);
        QCOMPARE(relay->m_pLinked, server);
    }

    // Behind NAT a server reports its LAN address, and its proxy names that
    // one: the link is found by it, but never at the cost of a typed name.
    void linksFoundByReportedAddressAndCleared()
    {
        auto* lan = static_cast<CHLServer*>(doc->AddServer("127.0.0.1", 40001, "", servers()));
        auto* claimant = static_cast<CHLServer*>(doc->AddServer("127.0.0.1", 40002, "", servers()));
        lan->m_strReportedAddress = "127.168.1.5:27015";
        claimant->m_strReportedAddress = "127.0.0.1:40001";
        CHLTV* viaLan = proxy("127.0.0.1", 40003);
        CHLTV* viaTyped = proxy("127.0.0.1", 40004);
        viaLan->m_strLinkedAddress = "127.168.1.5:27015";
        viaTyped->m_strLinkedAddress = "127.0.0.1:40001";
        doc->RelinkAll();
        QCOMPARE(viaLan->m_pLinked, lan);
        QCOMPARE(viaTyped->m_pLinked, lan);
        QCOMPARE(lan->GetName(), std::string("127.0.0.1:40001"));

        // Deleting the linked object clears the links to it.
        CCommonObject* server = doc->AddServer("127.0.0.1", 27015, "", servers());
        CHLTV* viaStatus = proxy("127.0.0.2", 27020);
        CHLTV* viaDrop = proxy("127.0.0.3", 27020);
        viaStatus->m_strLinkedAddress = "127.0.0.1:27015";
        viaStatus->m_pLinked = server;
        viaDrop->m_pLinked = viaStatus; // dropped on: no address
        doc->SetSelection(nullptr, server);
        doc->OnDeleteObject();
        QCOMPARE(viaStatus->m_pLinked, nullptr);
        QCOMPARE(viaStatus->m_strLinkedAddress, std::string());

        doc->SetSelection(nullptr, viaStatus);
        doc->OnDeleteObject();
        QCOMPARE(viaDrop->m_pLinked, nullptr);
    }

    void hubEntriesLinkAndForget()
    {
        LoopbackPeer hubPeer;
        LoopbackPeer serverPeer;
        const std::string serverName = "127.0.0.1:" + std::to_string(serverPeer.port());
        auto* manager = static_cast<CGTV*>(doc->AddHubManager("127.0.0.1", hubPeer.port(), "", servers()));
        QVERIFY(!doc->AddHubManager("127.0.0.1", hubPeer.port(), "", servers()));
        manager->m_nHubs = 2;
        manager->m_hubs[0].m_strParent = serverName;
        manager->m_hubs[1].m_strParent = "127.9.9.9:1";
        manager->m_hubs[2].m_strParent = serverName; // beyond the hub count
        CCommonObject* server = doc->AddServer("127.0.0.1", serverPeer.port(), "", servers());
        tickSeconds(6);
        QCOMPARE(manager->m_hubs[0].m_pLinked, server);
        QCOMPARE(manager->m_hubs[1].m_pLinked, nullptr);
        QCOMPARE(manager->m_hubs[2].m_pLinked, nullptr);

        manager->m_hubs[3].m_pLinked = server; // an entry the manager no longer lists
        doc->SetSelection(nullptr, server);
        doc->OnDeleteObject();
        for (const CHubInfo& hub : manager->m_hubs)
            QCOMPARE(hub.m_pLinked, nullptr);
        QCOMPARE(manager->m_hubs[0].m_strParent, serverName);
    }

    void proxyPasswordCommands()
    {
        LoopbackPeer peer;
        CHLTV* relay = proxy("127.0.0.1", peer.port(), "pw");
        QVERIFY(QTest::qWaitFor([relay] { return relay->channel()->isConnected(); }, 5000));
        doc->SetSelection(nullptr, relay);
        doc->SetModifiedFlag(false);
        env.op.lineAnswers = {std::string("s p"), std::string("spec;x"), std::string("relay\"x"),
                              std::string("relay"), std::nullopt};
        doc->OnCommand(ID_HLTV_SERVERPASSWORD);
        doc->OnCommand(ID_HLTV_SPECPASSWORD);
        QVERIFY(!doc->IsModified());
        doc->OnCommand(ID_HLTV_PROXYPASSWORD); // a quote would end the argument: refused
        QCOMPARE(env.op.messages, std::vector<std::string>{std::string(kPasswordRefusedText)});
        QVERIFY(!doc->IsModified());
        doc->OnCommand(ID_HLTV_PROXYPASSWORD);
        doc->OnCommand(ID_HLTV_PROXYPASSWORD); // cancelled
        QCOMPARE(peer.drain(*relay),
                 (std::vector<std::string>{oob::rconCommand(0, "pw", "serverpassword \"s p\""),
                                           oob::rconCommand(0, "pw", "spectatorpassword \"spec;x\""),
                                           oob::rconCommand(0, "pw", "proxypassword \"relay\"")}));
        QCOMPARE(relay->m_strProxyPassword, std::string("relay"));
        QVERIFY(doc->IsModified());
        QCOMPARE(env.op.prompts[0].first, std::string("Enter remote server password"));

        relay->m_nChallenge = 77;
        env.op.lineAnswers = {std::string("")};
        doc->OnCommand(ID_HLTV_RCONPASSWORD);
        QCOMPARE(env.op.prompts.back(),
                 (std::pair<std::string, std::string>{"Try another rcon password:", "pw"}));
        QCOMPARE(relay->m_nChallenge, 0u);
        env.op.lineAnswers = {std::string("x"), std::string("new")};
        doc->OnCommand(ID_HLTV_SERVERPASSWORD); // no password: nothing sent
        doc->OnCommand(ID_HLTV_RCONPASSWORD);
        QCOMPARE(relay->m_strRconPassword, std::string("new"));
        QCOMPARE(peer.drain(*relay), std::vector<std::string>{});

        // Not for game servers.
        CCommonObject* server = doc->AddServer("127.0.0.1", 27015, "pw", servers());
        doc->SetSelection(nullptr, server);
        const auto prompts = env.op.prompts.size();
        for (int id : {ID_HLTV_SERVERPASSWORD, ID_HLTV_SPECPASSWORD, ID_HLTV_PROXYPASSWORD,
                       ID_HLTV_RCONPASSWORD, ID_HLTV_DISCONNECT})
            doc->OnCommand(id);
        QCOMPARE(env.op.prompts.size(), prompts);
    }
};

QTEST_GUILESS_MAIN(TestDocumentObjects)
#include "tst_documentobjects.moc"
