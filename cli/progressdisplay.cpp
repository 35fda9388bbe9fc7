#include "cli/progressdisplay.h"

#include "cli/summary.h"

ProgressDisplay::ProgressDisplay(Console &console, const std::vector<std::unique_ptr<PortRunner>> &runners)
    : console_(console),
      runners_(runners)
{
    timer_.setInterval(kRedrawMs);
    connect(&timer_, &QTimer::timeout, this, &ProgressDisplay::redraw);
}

void ProgressDisplay::start()
{
    if (!console_.showsProgress())
        return;
    redraw();
    timer_.start();
}

void ProgressDisplay::finish()
{
    if (!timer_.isActive())
        return;
    timer_.stop();
    console_.redraw({});
}

// A refusal shows only the window's message here: its cause, often longer
// than a terminal is wide, is on the port's result line.
QString ProgressDisplay::lineFor(const PortRunner &runner)
{
    const PortResult &result = runner.result();
    const QString name = result.target.name();
    if (runner.isFinished()) {
        const bool refused = result.outcome.end == DownloadOutcome::End::PortNotOpened;
        return name + QStringLiteral(": ") + (refused ? result.message : Summary::outcome(result));
    }
    const int frames = runner.frames();
    const int acknowledged = runner.acknowledged();
    return QStringLiteral("%1: %2/%3 帧 %4%")
        .arg(name, QString::number(acknowledged), QString::number(frames),
             QString::number(acknowledged * 100 / frames));
}

void ProgressDisplay::redraw()
{
    QStringList lines;
    for (const std::unique_ptr<PortRunner> &runner : runners_)
        lines << lineFor(*runner);
    console_.redraw(lines);
}
