#include "ConfigFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

namespace {

// Reads the keys of one JSON object, remembering which it has seen, so that
// what is left at the end is reported as unknown.
class Fields
{
public:
    Fields(const QJsonObject& object, QString where, QString* error)
        : m_object(object), m_where(std::move(where)), m_error(error)
    {
    }

    bool ok() const { return m_ok; }

    void text(const char* key, QByteArray* target, qsizetype maxBytes)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (!value.isString())
            return fail(key, "a string");
        *target = wireText(value.toString().toUtf8(), maxBytes);
    }

    void number(const char* key, int* target, int lowest, int highest)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        const double number = value.toDouble(-1e18);
        if (!value.isDouble() || number != static_cast<double>(static_cast<long long>(number)) ||
            number < lowest || number > highest)
            return fail(key, QStringLiteral("a whole number from %1 to %2").arg(lowest).arg(highest));
        *target = static_cast<int>(number);
    }

    void flag(const char* key, bool* target)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (!value.isBool())
            return fail(key, "true or false");
        *target = value.toBool();
    }

    // A list of strings, each cut to maxBytes.
    void textList(const char* key, QList<QByteArray>* target, qsizetype maxItems, qsizetype maxBytes)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (!value.isArray() || value.toArray().size() > maxItems)
            return fail(key, QStringLiteral("a list of at most %1 strings").arg(maxItems));
        target->clear();
        for (const QJsonValue& item : value.toArray()) {
            if (!item.isString())
                return fail(key, QStringLiteral("a list of strings"));
            target->append(wireText(item.toString().toUtf8(), maxBytes));
        }
    }

    // An object of string values, in key order.
    void textPairs(const char* key, QList<QPair<QByteArray, QByteArray>>* target, qsizetype maxItems,
                   qsizetype maxBytes)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (!value.isObject() || value.toObject().size() > maxItems)
            return fail(key, QStringLiteral("an object of at most %1 strings").arg(maxItems));
        const QJsonObject pairs = value.toObject();
        for (auto it = pairs.begin(); it != pairs.end(); ++it) {
            if (!it.value().isString())
                return fail(key, QStringLiteral("an object of strings"));
            target->append(
                {wireText(it.key().toUtf8(), maxBytes), wireText(it.value().toString().toUtf8(), maxBytes)});
        }
    }

    // A key whose value is one of a few words; true when the key is there.
    template <class T>
    bool choice(const char* key, T* target, std::initializer_list<std::pair<const char*, T>> words)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return false;
        QStringList known;
        for (const auto& [word, meaning] : words) {
            if (value.toString() == QLatin1String(word)) {
                *target = meaning;
                return true;
            }
            known.append(QStringLiteral("\"%1\"").arg(QLatin1String(word)));
        }
        fail(key, QStringLiteral("one of ") + known.join(QStringLiteral(", ")));
        return true;
    }

    QJsonValue take(const char* key)
    {
        m_seen.insert(QString::fromLatin1(key));
        return m_object.value(QLatin1String(key));
    }

    void finish()
    {
        for (auto it = m_object.begin(); it != m_object.end() && m_ok; ++it) {
            if (!m_seen.contains(it.key())) {
                *m_error = QStringLiteral("%1: unknown key \"%2\"").arg(m_where, it.key());
                m_ok = false;
            }
        }
    }

    void fail(const char* key, const QString& expected)
    {
        if (!m_ok)
            return;
        *m_error = QStringLiteral("%1: \"%2\" must be %3").arg(m_where, QLatin1String(key), expected);
        m_ok = false;
    }

private:
    QJsonObject m_object;
    QString m_where;
    QString* m_error;
    QSet<QString> m_seen;
    bool m_ok = true;
};

constexpr qsizetype kMaxName = 63;
constexpr qsizetype kMaxPassword = 127;
constexpr int kMaxHubs = 32;       // what a console's hub table holds
constexpr int kMaxHubPlayers = 32; // player slots 0..31 of a hub

QByteArray teamName(const QByteArray& text)
{
    QByteArray name = wireText(text, 31);
    // The match report separates its fields with ';' and ends with '"'.
    name.replace(';', QByteArray()).replace('"', QByteArray());
    return name;
}

bool readMatch(Fields& parent, MatchSettings* match, const QString& where, QString* error)
{
    const QJsonValue value = parent.take("match");
    if (value.isUndefined())
        return true;
    if (!value.isObject()) {
        parent.fail("match", "an object");
        return false;
    }
    Fields fields(value.toObject(), where + ".match", error);
    fields.number("state", &match->state, 0, 5);
    fields.text("team_a", &match->teamA, 31);
    fields.text("team_b", &match->teamB, 31);
    fields.number("score_a1", &match->scoreA1, 0, 999);
    fields.number("score_a2", &match->scoreA2, 0, 999);
    fields.number("score_b1", &match->scoreB1, 0, 999);
    fields.number("score_b2", &match->scoreB2, 0, 999);
    fields.flag("moves", &match->moves);
    fields.number("step_seconds", &match->stepSeconds, 1, 86400);
    fields.finish();
    match->teamA = teamName(match->teamA);
    match->teamB = teamName(match->teamB);
    return fields.ok();
}

bool readHubs(Fields& parent, std::optional<std::vector<HubSettings>>* target, const QString& where,
              QString* error)
{
    const QJsonValue value = parent.take("hubs");
    if (value.isUndefined())
        return true;
    if (!value.isArray() || value.toArray().size() > kMaxHubs) {
        parent.fail("hubs", QStringLiteral("an array of at most %1 hubs").arg(kMaxHubs));
        return false;
    }
    const QJsonArray entries = value.toArray();
    std::vector<HubSettings> hubs;
    QSet<int> numbers;
    int next = 1;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString at = QStringLiteral("%1.hubs[%2]").arg(where).arg(i);
        if (!entries[i].isObject()) {
            *error = at + ": must be an object";
            return false;
        }
        HubSettings hub;
        Fields fields(entries[i].toObject(), at, error);
        fields.number("num", &hub.number, 0, 65535);
        fields.text("desc", &hub.description, kMaxName);
        const QJsonValue parentValue = fields.take("parent");
        if (parentValue.isString())
            hub.parent = wireText(parentValue.toString().toUtf8(), kMaxName);
        else if (!parentValue.isUndefined())
            fields.fail("parent", "a string");
        fields.number("players", &hub.players, 0, kMaxHubPlayers);
        fields.number("following", &hub.following, -1, kMaxHubPlayers - 1);
        fields.finish();
        if (!fields.ok())
            return false;
        if (hub.number < 0)
            hub.number = next;
        if (numbers.contains(hub.number)) {
            *error = QStringLiteral("%1: hub number %2 is used twice").arg(at).arg(hub.number);
            return false;
        }
        numbers.insert(hub.number);
        next = hub.number + 1;
        hubs.push_back(hub);
    }
    *target = std::move(hubs);
    return true;
}

bool readMachine(const QJsonValue& value, MachineSettings* machine, const QString& where, QString* error)
{
    if (!value.isObject()) {
        *error = where + ": must be an object";
        return false;
    }
    Fields fields(value.toObject(), where, error);
    fields.number("port", &machine->port, 0, 65535);
    fields.text("rcon", &machine->rconPassword, kMaxPassword);
    fields.text("hostname", &machine->hostName, kMaxName);
    fields.flag("moves", &machine->moves);

    if (machine->kind == MachineKind::Hub) {
        fields.number("clients", &machine->players, 0, 4096);
        fields.number("max_clients", &machine->maxPlayers, 1, 4096);
        fields.choice("bad_password", &machine->refusal,
                      {{"print", Refusal::Print}, {"silent", Refusal::Silent}});
        if (!readHubs(fields, &machine->hubs, where, error))
            return false;
    } else {
        fields.text("map", &machine->map, 31);
        fields.text("gamedir", &machine->gameDir, 31);
        fields.text("description", &machine->description, kMaxName);
        fields.flag("modern_only", &machine->modernOnly);
        fields.flag("challenge", &machine->demandChallenge);
        fields.number("overstate_players", &machine->overstatePlayers, 0, 255);
    }

    if (machine->kind == MachineKind::Server) {
        fields.number("players", &machine->players, 0, 32);
        fields.number("max_players", &machine->maxPlayers, 1, 32);
        fields.text("sv_password", &machine->serverPassword, kMaxPassword);
        fields.textList("maps", &machine->maps, 20000, 63);
        fields.number("extra_maps", &machine->extraMaps, 0, 20000);
        fields.textPairs("rules", &machine->rules, 4096, 127);
        fields.number("extra_rules", &machine->extraRules, 0, 20000);
        if (!readMatch(fields, &machine->match, where, error))
            return false;
    } else if (machine->kind == MachineKind::Proxy) {
        fields.number("spectators", &machine->players, 0, 4096);
        fields.number("slots", &machine->maxPlayers, 1, 4096);
        fields.choice("style", &machine->style, {{"old", ProxyStyle::Old}, {"current", ProxyStyle::Current}});
        fields.choice("framing", &machine->framing,
                      {{"none", Framing::None}, {"backtick", Framing::Backtick}, {"nul", Framing::Nul}});
        machine->rateLineSet = fields.choice("rate_line", &machine->rateLine,
                                             {{"comma", RateLine::Comma}, {"plain", RateLine::Plain}});
        fields.number("delay", &machine->delay, 0, 3600);
        fields.text("server_password", &machine->serverPassword, kMaxPassword);
        fields.text("proxy_password", &machine->proxyPassword, kMaxPassword);
        fields.text("spectator_password", &machine->spectatorPassword, kMaxPassword);
        fields.text("connect", &machine->connectTo, kMaxName);
    }
    fields.finish();
    if (!fields.ok())
        return false;
    if (machine->players > machine->maxPlayers)
        machine->players = machine->maxPlayers;
    return true;
}

bool readList(Fields& top, const char* key, const MachineSettings& defaults,
              std::vector<MachineSettings>* machines, QString* error)
{
    const QJsonValue value = top.take(key);
    if (value.isUndefined())
        return true;
    if (!value.isArray()) {
        top.fail(key, "an array");
        return false;
    }
    const QJsonArray entries = value.toArray();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        MachineSettings machine = defaults;
        if (!readMachine(entries[i], &machine, QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(i),
                         error))
            return false;
        machines->push_back(machine);
    }
    return true;
}

} // namespace

QByteArray wireText(const QByteArray& text, qsizetype maxBytes)
{
    QByteArray clean;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            clean.append(c);
    }
    if (clean.size() <= maxBytes)
        return clean;
    clean.truncate(maxBytes);
    // Do not leave the first half of a UTF-8 sequence at the cut.
    qsizetype lead = clean.size() - 1;
    while (lead > 0 && (static_cast<unsigned char>(clean[lead]) & 0xC0) == 0x80)
        --lead;
    const auto first = static_cast<unsigned char>(clean.isEmpty() ? 0 : clean[lead]);
    const qsizetype length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (clean.size() - lead < length)
        clean.truncate(lead);
    return clean;
}

std::optional<ParkConfig> loadConfig(const QString& path, const MachineSettings& serverDefaults,
                                     const MachineSettings& proxyDefaults, const MachineSettings& hubDefaults,
                                     QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    constexpr qint64 kMaxConfigBytes = 4 * 1024 * 1024;
    if (file.size() > kMaxConfigBytes) {
        *error = path + QStringLiteral(": larger than 4 MiB");
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (document.isNull()) {
        *error =
            QStringLiteral("%1: %2 at offset %3").arg(path, parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = path + QStringLiteral(": the top level must be an object");
        return std::nullopt;
    }

    ParkConfig config;
    Fields top(document.object(), path, error);
    const QJsonValue seed = top.take("seed");
    if (!seed.isUndefined()) {
        const double number = seed.toDouble(-1);
        if (!seed.isDouble() || number < 0 || number > 4294967295.0 ||
            number != static_cast<double>(static_cast<qint64>(number))) {
            top.fail("seed", "a whole number from 0 to 4294967295");
            return std::nullopt;
        }
        config.seed = static_cast<quint32>(number);
    }
    if (!readList(top, "servers", serverDefaults, &config.servers, error) ||
        !readList(top, "proxies", proxyDefaults, &config.proxies, error) ||
        !readList(top, "hubs", hubDefaults, &config.hubs, error))
        return std::nullopt;
    top.finish();
    if (!top.ok())
        return std::nullopt;
    return config;
}
