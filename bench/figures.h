#pragma once

#include "benchoptions.h"
#include "downloadrun.h"
#include "table.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

class DevicePlacement;
class ProgramFile;
class SimulatedDevice;

// The benchmark's figures, each measured in one run beside its reference so
// that the machine's noise cancels in the ratio. Each returns its table and
// the same figures as JSON.
class Figures {
public:
    struct Section {
        Table table;
        QJsonObject json;
    };

    Figures(BenchOptions options, QString workDir) : options_(std::move(options)), dir_(std::move(workDir)) {}

    Section unpaced();
    Section paced();
    Section latency();
    Section loader();
    Section progress() const;   // from the paced downloads, with and without the window
    bool allExact() const { return problems_.isEmpty(); }
    const QStringList &problems() const { return problems_; }

private:
    struct UnpacedRuns {
        std::vector<DownloadRun> ours, bare, reference;
    };

    bool startDevice(SimulatedDevice &device, DevicePlacement &placement, Section &section, bool apart);
    UnpacedRuns unpacedRuns(const ProgramFile &program, bool apart, Section &section);
    QJsonObject addUnpacedRows(Section &section, const QString &placement, const UnpacedRuns &runs) const;
    void record(const DownloadRun &run);
    Section pacedSection(const QString &title, const std::vector<DownloadRun> &runs, double limit) const;

    BenchOptions options_;
    QString dir_;
    QStringList problems_;
    std::optional<DownloadRun> pacedOurs_;
    std::optional<DownloadRun> pacedBare_;
};
