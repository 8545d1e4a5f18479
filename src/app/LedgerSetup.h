#pragma once

#include <QString>
#include <memory>
#include <optional>

class Clock;
class Ledger;
struct CommandLine;
struct LedgerTarget;

// Where this run keeps its ledger: --ledger, else the window's setting
// (Modules > Ledger...), else ledger.sqlite in the user's data folder.
// nullopt with an empty error under --no-ledger or a ledger switched off,
// with the reason on a target that cannot be parsed.
std::optional<LedgerTarget> chosenLedgerTarget(const CommandLine& commandLine, bool window, QString& error);
// The days personal data are kept: --ledger-keep, else the setting, else 30.
int chosenKeepDays(const CommandLine& commandLine, bool window);

// Modules > Ledger...: runs the settings dialog over the stored settings and
// stores what it holds on OK.
class QWidget;
void editLedgerSettings(QWidget* parent);

// The ledger this run writes, its writer thread started; null when none is
// kept (error says why, empty when none was wanted).
std::unique_ptr<Ledger> openRunLedger(const CommandLine& commandLine, bool window, const Clock& clock,
                                      QString& error);
