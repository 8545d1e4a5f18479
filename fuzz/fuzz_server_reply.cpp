// A game server fed datagrams as its rcon channel would hand them over:
// details, info, players, query challenges, the rcon challenge and print
// replies (status text, match report, sv_password, refusals), with poll
// ticks in between so that every step of the cycle runs on what was read.
#include "FuzzSupport.h"

#include "objects/CHLServer.h"
#include "objects/ObjectReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::Environment env;
    CHLServer server(env.context());
    fuzzing::setMachine(server, 27015, "secret");

    for (const fuzzing::Record& record : fuzzing::splitRecords(data, size)) {
        fuzzing::runTicks(server, env.clock, record.control);
        const fuzzing::Datagram datagram(record.body);
        server.OnReply(datagram.view());
        // Bit 4: the clan detection at once, on the names just read.
        if (record.control & 0x10)
            server.DetectClans();
        fuzzing::checkCommon(server);
    }
    describeObject(server);
    return 0;
}
