#include "cli/paralleldownload.h"

ParallelDownload::ParallelDownload(const QList<PortTarget> &targets, const ProgramImage &image,
                                   Console &console, const PortRunner::ClockMaker &makeClock)
    : progress_(console, runners_)
{
    for (const PortTarget &target : targets) {
        runners_.push_back(std::make_unique<PortRunner>(target, image, makeClock));
        connect(runners_.back().get(), &QThread::finished, this, &ParallelDownload::runnerFinished);
    }
}

void ParallelDownload::start()
{
    running_ = int(runners_.size());
    for (const std::unique_ptr<PortRunner> &runner : runners_)
        runner->start();
    progress_.start();
}

void ParallelDownload::interrupt()
{
    for (const std::unique_ptr<PortRunner> &runner : runners_)
        runner->stop();
}

QList<PortResult> ParallelDownload::results() const
{
    QList<PortResult> results;
    for (const std::unique_ptr<PortRunner> &runner : runners_)
        results.append(runner->result());
    return results;
}

void ParallelDownload::runnerFinished()
{
    if (--running_ > 0)
        return;
    progress_.finish();
    emit finished();
}
