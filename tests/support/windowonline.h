#pragma once

#include "app/form1.h"
#include "kd7sim/simulateddevice.h"
#include "tests/support/chosenfile.h"
#include "tests/support/scaledclock.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

// The real main window on a real serial line: port 1 is a pseudo-terminal
// with the simulated KD7 on its other end, every message box the window
// shows is captured, and the clock may run faster than real time so that
// half-second waits pass quickly.
struct WindowOnLine {
    std::optional<SimulatedDevice> ownDevice;   // empty when the caller keeps the device
    SimulatedDevice &device;
    QTemporaryDir dir;
    ChosenFile dialog;
    QStringList messages;
    ScaledClock clock;
    std::unique_ptr<Form1> form;

    // On a device of its own, started here.
    explicit WindowOnLine(const SimulatedDevice::FaultConfig &faults = {}, double clockFactor = 1.0);
    // On a device the caller has started and keeps.
    explicit WindowOnLine(SimulatedDevice &device, double clockFactor = 1.0);

    // File > Open, with the dialog choosing `path`.
    void open(const QString &path);
    void loadText(const QByteArray &text);
    void load(const std::vector<quint16> &words);
    // Clicks Download and returns what Label4 shows afterwards.
    QString download();

    qsizetype received() const { return qsizetype(device.transcript().size()); }
    QByteArray receivedSince(qsizetype offset) const;
    // Another program can open the port now: the window let go of it.
    bool portReleased() const;
};

// The words a download sends: the program and the extra frame carrying 0.
std::vector<std::uint16_t> withExtraFrame(const std::vector<quint16> &words);
