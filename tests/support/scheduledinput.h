#pragma once

#include "tests/support/fakeclock.h"

#include <QByteArray>

#include <deque>

// What a simulated device sends the host on a fake clock: bytes due at given
// moments, which reach the host's input when the clock gets there. Waiting
// moves the clock to the next arrival instead of sleeping.
class ScheduledInput {
public:
    explicit ScheduledInput(FakeClock &clock) : clock_(clock) {}

    // Bytes due at `at`; bytes due at the same moment keep their order.
    void schedule(double at, const QByteArray &bytes);
    // Bytes waiting at once.
    void deliver(const QByteArray &bytes) { input_ += bytes; }
    // Bytes that have arrived and are not yet taken.
    int waiting();
    // Takes at most `most` of them (all when `most` is 0 or less).
    QByteArray take(int most);
    void discardArrived() { input_.clear(); }
    void discardAll();
    // Returns at once when bytes are waiting, like a real port; otherwise the
    // clock moves to the next arrival or by `milliseconds`, whichever is sooner.
    void wait(int milliseconds);

private:
    struct Due {
        double at;
        QByteArray bytes;
    };
    void deliverDue();

    FakeClock &clock_;
    std::deque<Due> scheduled_;
    QByteArray input_;
};
