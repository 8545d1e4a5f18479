#include "BanList.h"

#include "ConfigFile.h"
#include "RconRequest.h"

#include <algorithm>
#include <cstdio>

namespace {

std::optional<double> minutesOf(const QByteArray& text)
{
    bool ok = false;
    const double minutes = text.toDouble(&ok);
    if (!ok || minutes < 0 || minutes > 1e9)
        return std::nullopt;
    return minutes;
}

// "1.2.3.4" as four numbers; the engine reads each part with atoi.
std::optional<QList<int>> addressOf(const QByteArray& text)
{
    const QList<QByteArray> parts = text.split('.');
    if (parts.size() != 4)
        return std::nullopt;
    QList<int> numbers;
    for (const QByteArray& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255)
            return std::nullopt;
        numbers.append(value);
    }
    return numbers;
}

QByteArray joined(const QList<int>& numbers)
{
    QByteArray key;
    for (int i = 0; i < numbers.size(); ++i)
        key += (i ? "." : "") + QByteArray::number(numbers[i]);
    return key;
}

QByteArray term(double minutes)
{
    if (minutes == 0)
        return "permanent";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f min", minutes);
    return text;
}

} // namespace

std::optional<QByteArray> BanList::runCommand(const QByteArray& name, const QByteArray& argument)
{
    const QList<QByteArray> arguments = splitArguments(argument);
    if (name == "banid")
        return m_full ? QByteArray("banid:  ID filter list is full\n") : banId(arguments);
    if (name == "addip")
        return m_full ? QByteArray("addip:  IP filter list is full\n") : addIp(arguments);
    if (name == "removeid")
        return removeId(arguments);
    if (name == "removeip")
        return removeIp(arguments);
    if (name == "listid")
        return listId();
    if (name == "listip")
        return listIp();
    if (name == "writeid")
        return QByteArray("Writing banned.cfg.\n");
    if (name == "writeip")
        return QByteArray("Writing listip.cfg.\n");
    return std::nullopt;
}

void BanList::put(QList<Entry>& list, const QByteArray& key, double minutes)
{
    for (Entry& entry : list) {
        if (entry.key == key) {
            entry.minutes = minutes;
            return;
        }
    }
    list.append({key, minutes});
}

QByteArray BanList::banId(const QList<QByteArray>& arguments)
{
    static const QByteArray kUsage("Usage:  banid <minutes> <uniqueid or #userid> { kick }\n"
                                   "Use 0 minutes for permanent\n");
    const auto minutes = minutesOf(arguments.value(0));
    const QByteArray id = wireText(unquoted(arguments.value(1)), 64);
    if (arguments.size() < 2 || arguments.size() > 3 || !minutes || id.isEmpty() ||
        (arguments.size() == 3 && arguments[2] != "kick"))
        return kUsage;
    if (!id.startsWith("STEAM_") && !id.startsWith("VALVE_"))
        return "banid:  Couldn't find " + id + '\n';
    if (m_ids.size() >= kMaxEntries &&
        std::none_of(m_ids.begin(), m_ids.end(), [&](const Entry& e) { return e.key == id; }))
        return "User filter list is full\n";
    put(m_ids, id, *minutes);
    if (arguments.size() == 3)
        m_kick(id);
    return {};
}

QByteArray BanList::addIp(const QList<QByteArray>& arguments)
{
    static const QByteArray kUsage("Usage: addip <minutes> <ipaddress>\nUse 0 minutes for permanent\n");
    const auto minutes = minutesOf(arguments.value(0));
    const auto address = addressOf(arguments.value(1));
    if (arguments.size() != 2 || !minutes)
        return kUsage;
    if (!address)
        return "Bad filter address: " + wireText(arguments.value(1), 64) + '\n';
    const QByteArray key = joined(*address);
    if (m_ips.size() >= kMaxEntries &&
        std::none_of(m_ips.begin(), m_ips.end(), [&](const Entry& e) { return e.key == key; }))
        return "IP filter list is full\n";
    put(m_ips, key, *minutes);
    return {};
}

QByteArray BanList::removeId(const QList<QByteArray>& arguments)
{
    const QByteArray id = wireText(unquoted(arguments.value(0)), 64);
    if (id.isEmpty())
        return "Usage:  removeid <uniqueid | #slotnumber>\n";
    for (qsizetype i = 0; i < m_ids.size(); ++i) {
        if (m_ids[i].key == id) {
            m_ids.removeAt(i);
            return "UserID filter removed for " + id + '\n';
        }
    }
    return "removeid:  couldn't find " + id + '\n';
}

QByteArray BanList::removeIp(const QList<QByteArray>& arguments)
{
    const auto address = addressOf(arguments.value(0));
    if (!address)
        return "Usage:  removeip <ipaddress>\n";
    const QByteArray key = joined(*address);
    for (qsizetype i = 0; i < m_ips.size(); ++i) {
        if (m_ips[i].key == key) {
            m_ips.removeAt(i);
            return "IP filter removed.\n";
        }
    }
    return "removeip:  couldn't find " + key + ".\n";
}

QByteArray BanList::listId() const
{
    if (m_ids.isEmpty())
        return "UserID filter list: empty\n";
    QByteArray text = "UserID filter list: " + QByteArray::number(m_ids.size()) + " entries\n";
    for (qsizetype i = 0; i < m_ids.size(); ++i)
        text += QByteArray::number(i + 1) + ' ' + m_ids[i].key + " : " + term(m_ids[i].minutes) + '\n';
    return text;
}

QByteArray BanList::listIp() const
{
    if (m_ips.isEmpty())
        return "IP filter list: empty\n";
    QByteArray text = "IP filter list:\n";
    for (const Entry& entry : m_ips) {
        // The engine pads each part to three places.
        QByteArray padded;
        const QList<QByteArray> parts = entry.key.split('.');
        for (qsizetype i = 0; i < parts.size(); ++i)
            padded += (i ? "." : "") + parts[i].rightJustified(3);
        text += padded + " : " + term(entry.minutes) + '\n';
    }
    return text;
}

void BanList::tick()
{
    for (QList<Entry>* list : {&m_ids, &m_ips}) {
        for (qsizetype i = list->size() - 1; i >= 0; --i) {
            Entry& entry = (*list)[i];
            if (entry.minutes == 0)
                continue;
            entry.minutes -= 1.0 / 60.0;
            if (entry.minutes <= 0)
                list->removeAt(i);
        }
    }
}

bool BanList::bannedIp(const QByteArray& ip) const
{
    return std::any_of(m_ips.begin(), m_ips.end(), [&](const Entry& e) { return e.key == ip; });
}
