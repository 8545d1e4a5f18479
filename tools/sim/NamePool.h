#pragma once

#include <QByteArray>
#include <QList>

// Player names the park draws from, as UTF-8 bytes. The first ones carry a
// shared clan tag, so that five players or more already show a clan; the pool
// also holds names in other scripts and a name with a double quote in it.
namespace names {

const QList<QByteArray>& pool();

// The name at a position; past the end of the pool, numbered spectator names.
QByteArray at(qsizetype index);

} // namespace names
