#include "platform/periodic_timer.h"

#include <QTimer>

namespace tesvaron {

void VirtualClock::advance(Ms span)
{
    const Ms end = now_ + span;
    while (!due_.empty() && due_.begin()->first <= end) {
        auto it = due_.begin();
        now_ = it->first;
        auto fn = std::move(it->second.fn);
        due_.erase(it);
        fn();
    }
    now_ = end;
}

bool VirtualClock::advanceUntil(const std::function<bool()>& pred, Ms limit, Ms step)
{
    for (Ms spent{0}; spent < limit; spent += step) {
        if (pred()) return true;
        advance(step);
    }
    return pred();
}

int VirtualClock::schedule(Ms at, std::function<void()> fn)
{
    const int id = nextId_++;
    due_.emplace(at < now_ ? now_ : at, Entry{id, std::move(fn)});
    return id;
}

void VirtualClock::cancel(int id)
{
    for (auto it = due_.begin(); it != due_.end(); ++it) {
        if (it->second.id == id) {
            due_.erase(it);
            return;
        }
    }
}

PeriodicTimer::PeriodicTimer(std::chrono::milliseconds interval, VirtualClock* clock,
                             QObject* parent)
    : QObject(parent), interval_(interval), clock_(clock)
{
    if (!clock_) {
        qtimer_ = new QTimer(this);
        // Coarse timers fire up to 1 % early; the 30 ms download tick and 1.5 s poll want
        // precision.
        qtimer_->setTimerType(Qt::PreciseTimer);
        qtimer_->setInterval(interval_);
        connect(qtimer_, &QTimer::timeout, this, &PeriodicTimer::Timer);
    }
}

void PeriodicTimer::setEnabled(bool on)
{
    if (on == enabled_) return;
    enabled_ = on;
    if (qtimer_) {
        if (on)
            qtimer_->start();
        else
            qtimer_->stop();
        return;
    }
    if (on) {
        armVirtual(clock_->now() + interval_);
    } else if (pending_) {
        clock_->cancel(pending_);
        pending_ = 0;
    }
}

void PeriodicTimer::armVirtual(std::chrono::milliseconds at)
{
    pending_ = clock_->schedule(at, [this, at] {
        pending_ = 0;
        // The next tick is due one period after this one, whatever the handler costs.
        armVirtual(at + interval_);
        emit Timer();
    });
}

} // namespace tesvaron
