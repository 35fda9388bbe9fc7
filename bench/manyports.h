#pragma once

#include "benchoptions.h"
#include "section.h"

#include <QStringList>

// kd7load-cli downloading one program to 1, 4 and 16 simulated devices at
// once, each answering at the pace of a 9600-baud line: the wall time of n
// ports against one, and the program's CPU per port against the reference
// host's on one port. Every device must end up with exactly the program.
class ManyPorts {
public:
    ManyPorts(const BenchOptions &options, QString workDir) : options_(options), dir_(std::move(workDir)) {}

    Section measure();
    const QStringList &problems() const { return problems_; }

private:
    struct Reference {
        double wall = 0;
        double cpu = 0;
        double response = 0;
    };
    Reference reference(const std::vector<quint16> &words);

    const BenchOptions &options_;
    QString dir_;
    QStringList problems_;
};
