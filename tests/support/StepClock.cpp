#include "StepClock.h"

#include <thread>

namespace testing_support {

namespace {
constexpr auto kYield = std::chrono::microseconds(200);
}

uint32_t StepClock::Milliseconds()
{
    return kFirstReadingMs + passedMs_.load();
}

void StepClock::Sleep(std::chrono::milliseconds duration)
{
    Advance(duration);
    std::unique_lock lock(mutex_);
    if (duration != held_) {
        lock.unlock();
        std::this_thread::sleep_for(kYield);
        return;
    }
    ++waiting_;
    released_.wait(lock, [this, duration] { return held_ != duration; });
    --waiting_;
}

void StepClock::Hold(std::chrono::milliseconds duration)
{
    const std::lock_guard lock(mutex_);
    held_ = duration;
}

bool StepClock::Holding() const
{
    const std::lock_guard lock(mutex_);
    return waiting_ > 0;
}

void StepClock::Release()
{
    {
        const std::lock_guard lock(mutex_);
        held_ = std::chrono::milliseconds(-1);
    }
    released_.notify_all();
}

void StepClock::Advance(std::chrono::milliseconds duration)
{
    passedMs_.fetch_add(static_cast<uint32_t>(duration.count()));
}

LocalDateTime StepClock::LocalTime()
{
    using namespace std::chrono;
    const sys_days day = year_month_day{year{kStart.year}, month(kStart.month), std::chrono::day(kStart.day)};
    const auto start = day + hours(kStart.hour) + minutes(kStart.minute) + seconds(kStart.second);
    const auto now = start + milliseconds(passedMs_.load());
    const sys_days today = floor<days>(now);
    const year_month_day date{today};
    const hh_mm_ss time{floor<seconds>(now - today)};
    return {int(date.year()),          int(unsigned(date.month())), int(unsigned(date.day())),
            int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count())};
}

}  // namespace testing_support
