#pragma once

#include <QString>

// Where the window's alerts go: the desktop's notifications in the program,
// a counter in tests.
class Notifier
{
public:
    virtual ~Notifier() = default;
    // summary and body are plain text.
    virtual void notify(const QString& summary, const QString& body) = 0;
};
