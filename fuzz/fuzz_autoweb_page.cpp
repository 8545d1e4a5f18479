// The status page built from what hostile machines send: a game server and
// two proxies relaying it are fed datagrams (details, players, match
// reports, status texts), then the page is generated. Whatever they sent,
// no markup of theirs may reach the page: once the program's own tags are
// taken out, no '<', '>', '"' or '\'' may be left.
#include "FuzzSupport.h"

#include "layout/CQuorvaneDoc.h"
#include "objects/CHLTV.h"

#include <string>

namespace {

const std::string kTemplate =
    "[SECTION_ALWAYS]top [/SECTION_ALWAYS][SECTION_HLTV]head [SECTION_HLTV_LOOP]row [#HOSTNAME]|[#IP]|"
    "[#NBSPEC]/[#NBSPECMAX]|[#CLANS]|[#INFO] [/SECTION_HLTV_LOOP]tail [/SECTION_HLTV][SECTION_STATS]stats "
    "[#TOTAL_HL_SLOTS] [#TOTAL_HL_SLOTS_MAX] [#TOTAL_HL_SLOTS_PEAK] [#TOTAL_HL_SLOTS_PEAK_PERCENT] "
    "[#TOTAL_HL_BANDWIDTH] [#TOTAL_HL_BANDWIDTH_PEAK] [/SECTION_STATS][SECTION_ALWAYS]sign [#SIGN][/SECTION_ALWAYS]";

// The markup the page generator writes itself.
const char* const kOwnMarkup[] = {"<a href='https://quorvane.example.org/'>", "</a>", "<br>", "<b>", "</b>"};

void removeAll(std::string& text, const std::string& piece)
{
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at))
        text.erase(at, piece.size());
}

CHLTV* addProxy(CQuorvaneDoc& document, int port)
{
    auto proxy = std::make_unique<CHLTV>(document.context());
    fuzzing::setMachine(*proxy, port, "secret");
    proxy->m_strExternalAddress = "203.0.113.7";
    proxy->m_nExternalPort = port;
    CHLTV* added = proxy.get();
    document.m_objects.push_back(std::move(proxy));
    return added;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One document (and its upload thread) for every input.
    static fuzzing::Environment env;
    static CQuorvaneDoc document(env.context());
    document.DeleteContents();
    document.m_moduleAdminBot.m_bEnabled = 0;

    auto owned = std::make_unique<CHLServer>(document.context());
    CHLServer& server = *owned;
    fuzzing::setMachine(server, 27015, "secret");
    document.m_objects.push_back(std::move(owned));
    CHLTV& first = *addProxy(document, 27020);
    CHLTV& second = *addProxy(document, 27021);
    first.m_pLinked = &server;
    second.m_pLinked = &first;

    for (const fuzzing::Record& record : fuzzing::splitRecords(data, size)) {
        // Bits 4-5: who receives the datagram; bit 6: the AdminBot switch.
        CHLServer* receivers[] = {&server, &first, &second, &server};
        const fuzzing::Datagram datagram(record.body);
        receivers[(record.control >> 4) & 0x03]->OnReply(datagram.view());
        document.m_moduleAdminBot.m_bEnabled = (record.control & 0x40) ? 1 : 0;
    }
    for (CHLTV* proxy : {&first, &second}) {
        proxy->m_nStatus = CSStatus_CONTROL;
        if (proxy->m_strLinkedAddress.empty())
            proxy->m_strLinkedAddress = "10.0.0.1:27015";
        proxy->DetectClans();
    }

    std::string page = document.m_moduleAutoWeb.GeneratePage(document, kTemplate, "NOW");
    for (const char* markup : kOwnMarkup)
        removeAll(page, markup);
    if (page.find_first_of("<>\"'") != std::string::npos)
        fuzzing::fail("markup from a machine reached the page");
    document.DeleteContents();
    return 0;
}
