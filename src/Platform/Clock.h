#pragma once

namespace gathra {

struct LocalTime {
    int Year = 1970; // four digits
    int Month = 1;   // 1..12
    int Day = 1;     // 1..31
    int Hour = 0;    // 0..23
    int Minute = 0;
    int Second = 0;
};

// Local time for time stamps; tests fix it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() const = 0;
};

class SystemClock : public Clock {
public:
    LocalTime Now() const override;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(LocalTime t) : time_(t) {}
    LocalTime Now() const override { return time_; }
    void Set(LocalTime t) { time_ = t; }

private:
    LocalTime time_;
};

} // namespace gathra
