#pragma once

#include "benchoptions.h"
#include "downloadrunner.h"
#include "section.h"

#include <optional>

class DevicePlacement;

// The benchmark's figures, each measured in one run beside its reference so
// that the machine's noise cancels in the ratio.
class Figures {
public:
    Figures(BenchOptions options, QString workDir) : options_(std::move(options)), dir_(std::move(workDir)) {}

    Section unpaced();
    // The device answering at the pace of a 9600-baud line, every answer
    // `latency` seconds late.
    Section paced(double latency);
    Section loader();
    Section progress() const;   // from the paced downloads, with and without the window
    Section manyAtOnce();       // kd7load-cli to 1, 4 and 16 paced devices at once
    const QStringList &problems() const { return problems_; }

private:
    bool start(SimulatedDevice &device, DevicePlacement &placement, bool apart, Section &section);
    QJsonObject unpacedRows(const ProgramFile &program, bool apart, Section &section);
    void record(const DownloadRun &run);

    BenchOptions options_;
    QString dir_;
    QStringList problems_;
    std::optional<DownloadRun> pacedOurs_;
    std::optional<DownloadRun> pacedBare_;
};
