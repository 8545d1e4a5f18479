#pragma once

#include "core/CoreContext.h"

#include <functional>

class CFtpJobManager;
class CHLTV;

// What the status page generator reads of the document that owns it: the
// proxies in list order, the AdminBot switch, the program's seams, and the
// queue its pages are uploaded through. The document implements it.
class PageSource
{
public:
    // Calls visit for every proxy of the layout, in list order.
    virtual void ForEachProxy(const std::function<void(CHLTV&)>& visit) const = 0;
    virtual bool AdminBotEnabled() const = 0;
    virtual const CoreContext& context() const = 0;
    virtual CFtpJobManager& UploadQueue() = 0;

protected:
    ~PageSource() = default;
};
