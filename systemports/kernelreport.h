#pragma once

#include <QString>

// The first line of one of the small text files in which a Linux kernel
// reports a device or a process (/sys, /proc), without its line end; empty
// where the file cannot be read.
QString kernelReportLine(const QString &path);
