#pragma once

#include "openfile.h"

#include <QStringList>

#include <memory>

class Form1;
class SimulatedDevice;

// The tool as the operator runs it: the real main window, shown, with its own
// serial line, clock and event processing; only the file dialog, the message
// box and the end of the program are answered here. Port 1 is the simulated
// device's pseudo-terminal.
class FormHost {
public:
    static constexpr int kSettleRounds = 3;

    explicit FormHost(SimulatedDevice &device);
    ~FormHost();

    // File > Open; the number of words the window then shows.
    int load(const QString &path);
    // Clicks Download and returns what 传输字数 shows when it is done.
    QString download();
    const QStringList &messages() const { return messages_; }
    // Shows or hides the window, and lets it finish drawing either way, so
    // that no repaint left over from before falls into a timed download.
    void setShown(bool shown);

private:
    OpenFile dialog_;
    QStringList messages_;
    std::unique_ptr<Form1> form_;
};
