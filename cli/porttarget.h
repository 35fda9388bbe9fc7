#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A port the download goes to, as the command line named it: by the number
// the window gives it, or by its device.
struct PortTarget {
    static constexpr int kLargestNumber = 256;   // Windows numbers its ports up to COM256

    QString given;    // as written after -p
    int number = 0;   // the port number; 0 when a device was named
    QString device;   // what it opens; empty when the number names no port now

    // "串口 2 (/dev/ttyUSB0)", "串口 7" or "/dev/ttyUSB0", as the summary names it.
    QString name() const;

    // The ports `given` names, port 1 when none, or nothing and the reason in
    // `refusal`: a text that is neither a port number nor a device, or one
    // port named twice (by two numbers, or a number and its device).
    static std::optional<QList<PortTarget>> resolve(const QStringList &given, QString &refusal);
};
