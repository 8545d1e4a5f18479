#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

class CQuorvaneDoc;

// The live demo: a simulated park started beside the program on free ports
// of 127.0.0.1, and a layout of it. The park stops with this object, and
// with the program however it ends (the park follows its parent).
class DemoPark
{
public:
    DemoPark() = default;
    ~DemoPark();
    DemoPark(const DemoPark&) = delete;
    DemoPark& operator=(const DemoPark&) = delete;

    // Starts quorvane-sim from the program's own folder and waits (bounded)
    // until every machine listens. False with error set when it cannot.
    bool start(QString& error);
    // Fills the document with the park: servers, chained proxies (the first
    // one recording every match), a hub manager.
    void buildLayout(CQuorvaneDoc& document) const;

private:
    struct Machine
    {
        QString kind;
        int port = 0;
    };
    QTemporaryDir m_dir; // holds the park's configuration while it runs
    std::unique_ptr<QProcess> m_process;
    std::vector<Machine> m_machines;
};
