#pragma once

#include "MachineSettings.h"

#include <QByteArray>

#include <optional>

class Machine;

// What a machine may ask of the park it stands in: proxies look up the
// machine they connect to and count the proxies relaying them; hub managers
// find the game servers their hubs relay.
class ParkDirectory
{
public:
    virtual ~ParkDirectory() = default;

    // The park's machine answering at "127.0.0.1:PORT" (or "localhost:PORT"),
    // or none.
    virtual const Machine* machineAt(const QByteArray& address) const = 0;
    // How many proxies of the park are connected to this address.
    virtual int relaysOf(const QByteArray& address) const = 0;
    // How many machines of this kind the park has.
    virtual int countOf(MachineKind kind) const = 0;
    // "server:N" / "proxy:N" (N from 0, in listing order of that kind): that
    // machine's address, or nothing when the park has no such machine. Any
    // other text is taken as an address and comes back as it is.
    virtual std::optional<QByteArray> addressOf(const QByteArray& reference) const = 0;
};

// An address as the machines print it: a port always (27015 when none is
// given), the loopback by number.
QByteArray normalisedAddress(const QByteArray& text);
