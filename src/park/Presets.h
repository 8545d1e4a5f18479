#pragma once

#include <QByteArray>
#include <optional>
#include <string>
#include <vector>

class QSettings;

// A named list of commands run one after another on the picked machines
// ("Go live": "mp_freezetime 6", "exec live.cfg", "sv_restart 1").
struct Preset
{
    std::string name;                  // UTF-8
    std::vector<std::string> commands; // UTF-8, one command each
};

// Why a preset cannot be kept: an empty or over-long name, no command, too
// many, or a command that is empty, too long or holds a line break or NUL
// (each command goes out as one line). Nothing when it can.
std::optional<std::string> presetRefusal(const Preset& preset);

// The operator's presets, in the order he made them; kept in QSettings and
// carried between machines as a JSON file.
class PresetBook
{
public:
    static constexpr std::size_t kMaxPresets = 100;
    static constexpr std::size_t kMaxCommands = 64;
    static constexpr std::size_t kMaxCommandBytes = 255;
    static constexpr std::size_t kMaxNameBytes = 64;
    static constexpr qsizetype kMaxFileBytes = 1 << 20;

    const std::vector<Preset>& presets() const { return m_presets; }
    const Preset* Find(const std::string& name) const;
    // Adds the preset, or replaces the one of the same name; the refusal
    // when it cannot be kept.
    std::optional<std::string> Put(const Preset& preset);
    bool Remove(const std::string& name);

    // Under "Presets" in settings: what was saved there replaces the book;
    // entries that cannot be kept are left out.
    void Load(QSettings& settings);
    void Save(QSettings& settings) const;

    // {"presets":[{"name":"...","commands":["...",...]},...]}
    QByteArray Export() const;
    // Adds the file's presets (replacing those of the same names); the
    // reason when the file is not such a list or holds a preset that
    // cannot be kept, in which case nothing changes.
    std::optional<std::string> Import(const QByteArray& bytes);

private:
    std::vector<Preset> m_presets;
};
