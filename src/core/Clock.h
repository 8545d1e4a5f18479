#pragma once

#include <cstdint>

// Source of "now" for everything time-driven (poll timeouts, relink delays,
// demo names). Tests use ManualClock and advance it instead of sleeping.
class Clock
{
public:
    virtual ~Clock() = default;
    // Whole seconds since 1970 (UTC).
    virtual std::int64_t now() const = 0;
};

class SystemClock : public Clock
{
public:
    std::int64_t now() const override;
};

class ManualClock : public Clock
{
public:
    explicit ManualClock(std::int64_t start = 1'000'000'000) : m_now(start) {}
    std::int64_t now() const override { return m_now; }
    void set(std::int64_t seconds) { m_now = seconds; }
    void advance(std::int64_t seconds) { m_now += seconds; }

private:
    std::int64_t m_now;
};
