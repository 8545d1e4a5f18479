#include "park/Presets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStringList>
#include <algorithm>

std::optional<std::string> presetRefusal(const Preset& preset)
{
    if (preset.name.empty() || preset.name.size() > PresetBook::kMaxNameBytes)
        return "A preset needs a name of 1 to 64 bytes.";
    if (preset.name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return "A preset's name cannot hold a line break or a NUL byte.";
    if (preset.commands.empty() || preset.commands.size() > PresetBook::kMaxCommands)
        return "A preset holds 1 to 64 commands.";
    for (const std::string& command : preset.commands) {
        if (command.find_first_not_of(" \t") == std::string::npos ||
            command.size() > PresetBook::kMaxCommandBytes)
            return "Each command of a preset holds 1 to 255 bytes.";
        if (command.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            return "A command of a preset cannot hold a line break or a NUL byte.";
    }
    return std::nullopt;
}

const Preset* PresetBook::Find(const std::string& name) const
{
    const auto found = std::find_if(m_presets.begin(), m_presets.end(),
                                    [&](const Preset& preset) { return preset.name == name; });
    return found == m_presets.end() ? nullptr : &*found;
}

std::optional<std::string> PresetBook::Put(const Preset& preset)
{
    if (auto refusal = presetRefusal(preset))
        return refusal;
    for (Preset& existing : m_presets) {
        if (existing.name == preset.name) {
            existing = preset;
            return std::nullopt;
        }
    }
    if (m_presets.size() >= kMaxPresets)
        return "At most 100 presets can be kept.";
    m_presets.push_back(preset);
    return std::nullopt;
}

bool PresetBook::Remove(const std::string& name)
{
    const auto before = m_presets.size();
    std::erase_if(m_presets, [&](const Preset& preset) { return preset.name == name; });
    return m_presets.size() != before;
}

void PresetBook::Load(QSettings& settings)
{
    m_presets.clear();
    const int size = settings.beginReadArray(QStringLiteral("Presets"));
    for (int i = 0; i < size && m_presets.size() < kMaxPresets; ++i) {
        settings.setArrayIndex(i);
        Preset preset;
        preset.name = settings.value(QStringLiteral("name")).toString().toStdString();
        for (const QString& command : settings.value(QStringLiteral("commands")).toStringList())
            preset.commands.push_back(command.toStdString());
        if (!presetRefusal(preset) && !Find(preset.name))
            m_presets.push_back(std::move(preset));
    }
    settings.endArray();
}

void PresetBook::Save(QSettings& settings) const
{
    settings.remove(QStringLiteral("Presets"));
    settings.beginWriteArray(QStringLiteral("Presets"), static_cast<int>(m_presets.size()));
    for (std::size_t i = 0; i < m_presets.size(); ++i) {
        settings.setArrayIndex(static_cast<int>(i));
        settings.setValue(QStringLiteral("name"), QString::fromStdString(m_presets[i].name));
        QStringList commands;
        for (const std::string& command : m_presets[i].commands)
            commands.append(QString::fromStdString(command));
        settings.setValue(QStringLiteral("commands"), commands);
    }
    settings.endArray();
}

QByteArray PresetBook::Export() const
{
    QJsonArray list;
    for (const Preset& preset : m_presets) {
        QJsonArray commands;
        for (const std::string& command : preset.commands)
            commands.append(QString::fromStdString(command));
        list.append(QJsonObject{{QStringLiteral("name"), QString::fromStdString(preset.name)},
                                {QStringLiteral("commands"), commands}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("presets"), list}}).toJson();
}

std::optional<std::string> PresetBook::Import(const QByteArray& bytes)
{
    if (bytes.size() > kMaxFileBytes)
        return "The file is larger than 1 MiB: not a preset list.";
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonValue list = document.object().value(QStringLiteral("presets"));
    if (error.error != QJsonParseError::NoError || !list.isArray())
        return "The file is not a preset list.";
    PresetBook merged = *this;
    for (const QJsonValue& entry : list.toArray()) {
        const QJsonValue name = entry.toObject().value(QStringLiteral("name"));
        const QJsonValue commands = entry.toObject().value(QStringLiteral("commands"));
        if (!name.isString() || !commands.isArray())
            return "The file is not a preset list: each entry needs a name and a list of commands.";
        Preset preset;
        preset.name = name.toString().toStdString();
        for (const QJsonValue& command : commands.toArray()) {
            if (!command.isString())
                return "The file is not a preset list: a command is not text.";
            preset.commands.push_back(command.toString().toStdString());
            if (preset.commands.size() > kMaxCommands)
                break;
        }
        if (auto refusal = merged.Put(preset))
            return "The preset \"" + preset.name.substr(0, kMaxNameBytes) +
                   "\" cannot be imported: " + *refusal;
    }
    *this = std::move(merged);
    return std::nullopt;
}
