#pragma once

#include "systemports/openrefusal.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// What one look at the system found in the way of several ports: a line for
// each location (empty where nothing stands in its way) and the adapters
// plugged in without a port.
struct TroubleSurvey {
    QHash<QString, QString> at;
    QStringList stranded;
};

// What stands in the way of the system's serial ports, read from what the
// system reports and never by opening anything: a port the user may not
// open, a port another program holds, a USB serial adapter that is plugged
// in but has no port. Each finding is one line in Chinese that names the
// port or adapter, the cause and what to do about it. The system's own
// lookups come from systemPortTroubles(); tests put others in their place.
struct PortTroubles {
    // What would stop `location` ("/dev/ttyUSB0", "COM3") from opening now;
    // empty when nothing is seen.
    std::function<QString(const QString &location)> at;
    // The serial adapters that are plugged in but give no port, a line each.
    std::function<QStringList()> adaptersWithoutPort;
    // Both for many locations at once, from one look at the system: a look
    // reads every process (Linux) or every device (Windows), so the port
    // window takes one each time it shows its list. Where unset, each
    // location is asked of `at`.
    std::function<TroubleSurvey(const QStringList &locations)> survey;
    // Where the operator sees what each port number opens: the port
    // window's tooltips unless told otherwise.
    QString numbersShownIn = QStringLiteral("在 设置 中把鼠标停在串口号上就能看到");

    QString troubleAt(const QString &location) const { return at ? at(location) : QString(); }
    QStringList strandedAdapters() const
    {
        return adaptersWithoutPort ? adaptersWithoutPort() : QStringList();
    }
    TroubleSurvey surveyed(const QStringList &locations) const;
};

// This system's lookups: /sys, /proc and the user's groups on Linux; the
// device tree Device Manager shows on Windows.
PortTroubles systemPortTroubles();

// One open that failed, as the port layer saw it.
struct PortRefusal {
    int portNo = 0;     // the number the operator chose; 0 when a device was named instead
    QString location;   // the device the number led to; empty when it names no port
    OpenRefusal refusal = OpenRefusal::OpenFailed;
    QString systemError;   // the system's own words for the failure
};

// The line the operator reads below "串口不能打开! ": the port, why it did
// not open and what to do. Where no cause is found, the system's own words.
QString explainRefusal(const PortRefusal &refusal, const PortTroubles &troubles);
