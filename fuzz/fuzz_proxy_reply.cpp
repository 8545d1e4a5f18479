// An HLTV proxy fed datagrams: the query replies it shares with game
// servers and its own "status" texts (classic and current wording), with
// poll ticks in between so that the recording step runs. The proxy relays a
// game server which receives the datagrams of some records instead, so that
// its match report can start and stop recordings.
#include "FuzzSupport.h"

#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/ObjectReport.h"

namespace {

// Bits 5-6 of the control byte: what the proxy relays from this record on.
CCommonObject* relayTarget(std::uint8_t control, CHLServer& server, CHLTV& upstream, CGTV& hub)
{
    switch ((control >> 5) & 0x03) {
    case 0:
        return &server;
    case 1:
        return &upstream; // which relays the server, or the proxy itself: a ring
    case 2:
        return &hub; // a chain that ends in neither kind
    default:
        return nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::Environment env;
    CHLServer server(env.context());
    fuzzing::setMachine(server, 27015, "secret");
    CHLTV proxy(env.context());
    fuzzing::setMachine(proxy, 27020, "secret");
    proxy.m_strExternalAddress = "203.0.113.7";
    proxy.m_nExternalPort = 27020;
    proxy.m_bAutoRecord = true;
    CHLTV upstream(env.context());
    fuzzing::setMachine(upstream, 27021);
    CGTV hub(env.context());
    fuzzing::setMachine(hub, 27500);

    for (const fuzzing::Record& record : fuzzing::splitRecords(data, size)) {
        proxy.m_pLinked = relayTarget(record.control, server, upstream, hub);
        upstream.m_pLinked = (record.control & 0x80) ? static_cast<CCommonObject*>(&proxy) : &server;
        fuzzing::runTicks(proxy, env.clock, record.control);
        const fuzzing::Datagram datagram(record.body);
        // Bit 4: the datagram is the relayed server's.
        CHLServer& receiver = (record.control & 0x10) ? server : proxy;
        receiver.OnReply(datagram.view());
        fuzzing::checkCommon(proxy);
        fuzzing::checkCommon(server);
    }
    describeObject(proxy);
    describeObject(server);
    return 0;
}
