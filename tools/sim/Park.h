#pragma once

#include "ParkDirectory.h"
#include "ParkPlan.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class Machine;

// All machines of the simulated park: makes them listen, makes the proxies'
// first connections and the hubs' first relays, lets a second pass for
// everyone, and answers the machines' questions about each other.
class Park : public QObject, public ParkDirectory
{
    Q_OBJECT

public:
    explicit Park(const ParkPlan& plan);
    ~Park() override;

    // Binds every machine; false with a message when one cannot listen or a
    // first connection names no machine of the park.
    bool start(QString* error, bool* planError = nullptr);
    // "server 127.0.0.1:PORT" / "proxy 127.0.0.1:PORT" / "hub 127.0.0.1:PORT",
    // one line a machine.
    QByteArray listing() const;
    // The traffic of all machines, three lines:
    //   queries KIND=N ...      (received, by kind)
    //   replies TYPE=N ...      (sent, by type byte)
    //   machines N asked N answered N
    QByteArray trafficReport() const;

    const Machine* machineAt(const QByteArray& address) const override;
    int relaysOf(const QByteArray& address) const override;
    int countOf(MachineKind kind) const override;
    std::optional<QByteArray> addressOf(const QByteArray& reference) const override;

private:
    bool connectProxies(QString* error);
    bool startHubs(QString* error);
    void tick();

    ParkPlan m_plan;
    std::vector<std::unique_ptr<Machine>> m_machines;
    QHash<quint16, Machine*> m_byPort;
    QTimer m_clock;
};
