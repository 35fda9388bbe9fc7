#pragma once

#include <QObject>

// Ctrl+C, and the other ways a user ends a console program while it runs
// (SIGTERM, a closed terminal; on Windows Ctrl+Break and closing the console
// window), turned into a signal on the main thread, so that every download
// can end at a frame boundary and give its port back as it found it. While a
// watch lives the program is not ended by them; a write to a closed pipe
// does not end it either.
class InterruptWatch : public QObject {
    Q_OBJECT

public:
    explicit InterruptWatch(QObject *parent = nullptr);
    ~InterruptWatch() override;

    // Everything is wrapped up: a console that is closing may end the program now.
    void wrappedUp();

signals:
    void interrupted();
};
