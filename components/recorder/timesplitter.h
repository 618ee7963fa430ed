#pragma once
// Splits an elapsed time into the hours, minutes and seconds that the
// recorder shows. Hours are not wrapped: a day-long recording shows 24.

#include <cstdint>

class TimeSplitter {
public:
    void setMilliseconds(int64_t ms) { ms_ = ms < 0 ? 0 : ms; }
    int64_t milliseconds() const { return ms_; }
    int64_t hours() const { return ms_ / 3600000; }
    int minutes() const { return static_cast<int>(ms_ / 60000 % 60); }
    int seconds() const { return static_cast<int>(ms_ / 1000 % 60); }

private:
    int64_t ms_ = 0;
};
