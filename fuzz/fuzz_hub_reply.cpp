// A GTV hub manager fed datagrams: managerInfoResponse, hubInfoResponse and
// print replies, with poll ticks in between. Some records also pick a hub
// row with a click and ask it to follow one of its players, which reads the
// hub's player table as the replies left it.
#include "FuzzSupport.h"

#include "objects/CGTV.h"
#include "objects/ObjectReport.h"

namespace {

void checkHubs(const CGTV& manager)
{
    if (manager.m_nHubs < 0 || manager.m_nHubs > CGTV::kMaxHubs)
        fuzzing::fail("hub count outside 0..32");
    for (int i = 0; i < manager.m_nHubs; ++i) {
        const CHubInfo& hub = manager.m_hubs[static_cast<std::size_t>(i)];
        if (hub.m_nCount < 0 || hub.m_nCount > CCommonObject::kMaxPlayers)
            fuzzing::fail("hub player count outside 0..32");
        for (int k = 0; k < hub.m_nCount; ++k) {
            const std::int32_t slot = hub.m_nSlots[static_cast<std::size_t>(k)];
            if (slot < 0 || slot >= CCommonObject::kMaxPlayers)
                fuzzing::fail("hub player slot outside 0..31");
        }
    }
}

// Places the box, clicks the centre of row `row` and asks the picked hub to
// follow its first listed player.
void pickAndFollow(CGTV& manager, int row)
{
    const QSize size = manager.GetBoxSize();
    manager.Place(Rect{0, 0, size.width(), size.height()});
    if (row < manager.m_nHubs)
        manager.OnClick(manager.m_hubs[static_cast<std::size_t>(row)].m_rcRow.center());
    const int count = manager.GetPlayerCount();
    if (count > 0)
        manager.ChangePOV(manager.GetPlayerNames()[0]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::Environment env;
    CGTV manager(env.context());
    fuzzing::setMachine(manager, 27500, "secret");

    for (const fuzzing::Record& record : fuzzing::splitRecords(data, size)) {
        fuzzing::runTicks(manager, env.clock, record.control);
        const fuzzing::Datagram datagram(record.body);
        manager.OnReply(datagram.view());
        // Bit 4: a click on row (bits 5-7) and a change of point of view.
        if (record.control & 0x10)
            pickAndFollow(manager, record.control >> 5);
        fuzzing::checkCommon(manager);
        checkHubs(manager);
    }
    describeObject(manager);
    return 0;
}
