#pragma once

#include "cli/console.h"
#include "cli/portrunner.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

// A line per port on a terminal, redrawn in place a few times a second:
// frames acknowledged out of the program's frames, or how the port's
// download ended. Off a terminal it shows nothing.
class ProgressDisplay : public QObject {
    Q_OBJECT

public:
    static constexpr int kRedrawMs = 200;

    ProgressDisplay(Console &console, const std::vector<std::unique_ptr<PortRunner>> &runners);

    void start();
    // Erases the lines: the summary says the rest.
    void finish();

private:
    void redraw();
    static QString lineFor(const PortRunner &runner);

    Console &console_;
    const std::vector<std::unique_ptr<PortRunner>> &runners_;
    QTimer timer_;
};
