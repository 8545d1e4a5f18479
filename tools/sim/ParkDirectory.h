#pragma once

#include <QByteArray>

class Machine;

// What a machine may ask of the park it stands in: proxies look up the
// machine they connect to and count the proxies relaying them.
class ParkDirectory
{
public:
    virtual ~ParkDirectory() = default;

    // The park's machine answering at "127.0.0.1:PORT" (or "localhost:PORT"),
    // or none.
    virtual const Machine* machineAt(const QByteArray& address) const = 0;
    // How many proxies of the park are connected to this address.
    virtual int relaysOf(const QByteArray& address) const = 0;
};
