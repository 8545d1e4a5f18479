#pragma once

#include <cstdint>

// An optional feature switched on per layout and saved with it.
class CModule
{
public:
    virtual ~CModule() = default;

    std::int32_t m_bEnabled = 0;
};

// A bare switch: the watched game servers run the AdminBot-amx plug-in, so
// their match reports can drive automatic recording and the status page.
class CModuleAdminBot : public CModule
{
};
