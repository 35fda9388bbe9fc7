#include "cli/cliprogram.h"

#include "cli/exitstatus.h"
#include "cli/interruptwatch.h"
#include "cli/paralleldownload.h"
#include "cli/portlisting.h"
#include "cli/programfile.h"
#include "cli/summary.h"
#include "systemports/portmapping.h"
#include "systemports/systemports.h"

#include <QEventLoop>

CliProgram::CliProgram(Console &console, PortRunner::ClockMaker makeClock)
    : console_(console),
      makeClock_(std::move(makeClock))
{}

int CliProgram::run(const QStringList &arguments)
{
    const CliOptions options = CliOptions::parse(arguments);
    switch (options.action) {
    case CliOptions::Action::ShowHelp:
    case CliOptions::Action::ShowVersion: console_.print(options.text); return ExitStatus::kAllTook;
    case CliOptions::Action::List: return list(options.json);
    case CliOptions::Action::Download: return download(options);
    case CliOptions::Action::Refuse: break;
    }
    console_.complain(options.text);
    return ExitStatus::kRefused;
}

int CliProgram::list(bool json)
{
    const PortListing listing(systemPorts(), systemPortFor, systemPortTroubles());
    console_.print(json ? listing.jsonLines() : listing.text());
    return ExitStatus::kAllTook;
}

int CliProgram::refuse(const QString &why)
{
    console_.complain(QStringLiteral("kd7load-cli: %1\n").arg(why));
    return ExitStatus::kRefused;
}

// Nothing is sent anywhere until the ports and the file have both passed.
int CliProgram::download(const CliOptions &options)
{
    QString refusal;
    const std::optional<QList<PortTarget>> targets = PortTarget::resolve(options.ports, refusal);
    if (!targets)
        return refuse(refusal);
    const ProgramFile program = ProgramFile::read(options.file);
    if (!program.image)
        return refuse(program.refusal);

    InterruptWatch watch;
    ParallelDownload downloads(*targets, *program.image, console_, makeClock_);
    QEventLoop loop;
    QObject::connect(&watch, &InterruptWatch::interrupted, &downloads, &ParallelDownload::interrupt);
    QObject::connect(&downloads, &ParallelDownload::finished, &loop, &QEventLoop::quit);
    downloads.start();
    loop.exec();

    const QList<PortResult> results = downloads.results();
    console_.print(options.json ? Summary::jsonLines(results, program.image->WordCount)
                                : Summary::text(results));
    watch.wrappedUp();
    const int status = Summary::exitStatus(results);
    if (status == ExitStatus::kInterrupted)
        interruptedBy_ = watch.signalNumber();
    return status;
}
