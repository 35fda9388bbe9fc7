#pragma once

#include <QString>
#include <QStringList>

// kd7load-cli run as a child process, as a script runs it: its wall time,
// the CPU it used on every thread (from the kernel's account of the child),
// its exit status and what it wrote on standard output.
struct CliChild {
    double wall = 0;
    double cpu = 0;
    int status = -1;   // -1: it did not end by itself in time, or did not start
    QString output;

    // Ends the child if it still runs after `seconds`.
    static CliChild run(const QString &program, const QStringList &arguments, double seconds);
};
