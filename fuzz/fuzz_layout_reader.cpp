// Layout files as read from disk: whatever the bytes, loading either fails
// with the format message or yields a layout that saves, loads back without
// a repair, and saves again to the same bytes.
#include "FuzzSupport.h"

#include "layout/CQuorvaneDoc.h"
#include "layout/LayoutFile.h"

#include <QByteArray>
#include <QCoreApplication>

namespace {

struct Fixture
{
    int argc = 1;
    char name[32] = "fuzz_layout_reader";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    fuzzing::Environment env;
    // Two documents for the whole run: each starts the FTP worker thread.
    CQuorvaneDoc loaded{env.context()};
    CQuorvaneDoc reloaded{env.context()};
};

Fixture& fixture()
{
    // Never destroyed: the documents' worker threads stay up until the
    // process ends.
    static Fixture* instance = new Fixture;
    return *instance;
}

// Every group sits in a zone of the document and every object in a group
// of the document: what the relinking after a load guarantees.
void checkLinks(const CQuorvaneDoc& document)
{
    for (const auto& group : document.m_groups) {
        bool found = false;
        for (const auto& zone : document.m_zones)
            found = found || group->m_pZone == zone.get();
        if (!found)
            fuzzing::fail("a loaded group is in no zone of the document");
    }
    for (const auto& object : document.m_objects) {
        bool found = false;
        for (const auto& group : document.m_groups)
            found = found || object->m_pGroup == group.get();
        if (!found)
            fuzzing::fail("a loaded object is in no group of the document");
        if (object->channel())
            fuzzing::fail("a channel was opened although load was asked not to");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fixture& f = fixture();
    // No copy: the reader works on the fuzzer's buffer, whose end the
    // sanitizer guards.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool loaded = layoutfile::load(f.loaded, bytes, layoutfile::Channels::Closed);
    // An empty file leaves the previous layout, which says nothing of this input.
    if (!loaded || bytes.isEmpty())
        return 0;
    checkLinks(f.loaded);

    const QByteArray saved = layoutfile::save(f.loaded);
    const std::size_t messagesBefore = f.env.op.messages.size();
    if (!layoutfile::load(f.reloaded, saved, layoutfile::Channels::Closed))
        fuzzing::fail("a saved layout does not load");
    if (f.env.op.messages.size() != messagesBefore || f.reloaded.IsModified())
        fuzzing::fail("a saved layout needed a repair when loaded again");
    checkLinks(f.reloaded);
    if (f.reloaded.m_zones.size() != f.loaded.m_zones.size() ||
        f.reloaded.m_groups.size() != f.loaded.m_groups.size() ||
        f.reloaded.m_objects.size() != f.loaded.m_objects.size())
        fuzzing::fail("a saved layout loads with other lists");
    if (layoutfile::save(f.reloaded) != saved)
        fuzzing::fail("saving a reloaded layout gives other bytes");
    return 0;
}
