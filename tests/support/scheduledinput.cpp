#include "tests/support/scheduledinput.h"

#include <algorithm>

void ScheduledInput::schedule(double at, const QByteArray &bytes)
{
    const auto later = std::upper_bound(scheduled_.begin(), scheduled_.end(), at,
                                        [](double t, const Due &due) { return t < due.at; });
    scheduled_.insert(later, Due{at, bytes});
}

void ScheduledInput::deliverDue()
{
    while (!scheduled_.empty() && scheduled_.front().at <= clock_.now()) {
        input_ += scheduled_.front().bytes;
        scheduled_.pop_front();
    }
}

int ScheduledInput::waiting()
{
    deliverDue();
    return int(input_.size());
}

QByteArray ScheduledInput::take(int most)
{
    deliverDue();
    const int n = most > 0 ? std::min(most, int(input_.size())) : int(input_.size());
    const QByteArray taken = input_.left(n);
    input_.remove(0, n);
    return taken;
}

void ScheduledInput::discardAll()
{
    scheduled_.clear();
    input_.clear();
}

void ScheduledInput::wait(int milliseconds)
{
    if (waiting() > 0)
        return;
    const double until = clock_.now() + milliseconds / 1000.0;
    if (!scheduled_.empty() && scheduled_.front().at <= until)
        clock_.advanceTo(scheduled_.front().at);
    else
        clock_.advanceTo(until);
}
