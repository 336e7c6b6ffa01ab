#pragma once
// Periodic timers with the semantics the link relies on: enabling a running timer does not
// restart it, disabling a stopped one does nothing, ticks come on the UI thread. Each timer runs
// either on a real QTimer or on a VirtualClock that tests advance by hand.

#include <QObject>
#include <chrono>
#include <functional>
#include <map>

class QTimer;

namespace tesvaron {

// A manual clock: advance() runs every callback that falls due, in time order.
class VirtualClock
{
public:
    using Ms = std::chrono::milliseconds;

    Ms now() const { return now_; }
    // Runs everything due within the next `span`, including work scheduled meanwhile.
    void advance(Ms span);
    // Advances until pred() holds or `limit` has passed; returns whether pred() held.
    bool advanceUntil(const std::function<bool()>& pred, Ms limit, Ms step = Ms(1));

    int schedule(Ms at, std::function<void()> fn);
    void cancel(int id);

private:
    struct Entry
    {
        int id;
        std::function<void()> fn;
    };
    Ms now_{0};
    int nextId_ = 1;
    std::multimap<Ms, Entry> due_;
};

// A periodic timer: Timer() fires every Interval while enabled.
class PeriodicTimer : public QObject
{
    Q_OBJECT
public:
    PeriodicTimer(std::chrono::milliseconds interval, VirtualClock* clock, QObject* parent);

    bool Enabled() const { return enabled_; }
    void setEnabled(bool on);
    std::chrono::milliseconds Interval() const { return interval_; }

signals:
    void Timer();

private:
    void armVirtual(std::chrono::milliseconds at);

    std::chrono::milliseconds interval_;
    VirtualClock* clock_;
    QTimer* qtimer_ = nullptr;
    bool enabled_ = false;
    int pending_ = 0; // scheduled virtual tick, 0 when none
};

} // namespace tesvaron
