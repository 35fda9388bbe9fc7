#pragma once

#include <QObject>

// Ctrl+C, and the other ways a user ends a console program while it runs
// (SIGTERM, a closed terminal; on Windows Ctrl+Break and closing the console
// window), turned into a signal on the main thread, so that every download
// can end at a frame boundary and give its port back as it found it. While a
// watch lives the program is not ended by the first of them; a second one
// ends it at once, as if nothing watched. A signal the program was started
// with ignored (nohup, a script's background job) stays ignored. A write to
// a closed pipe does not end the program either. One watch at a time.
class InterruptWatch : public QObject {
    Q_OBJECT

public:
    explicit InterruptWatch(QObject *parent = nullptr);
    ~InterruptWatch() override;

    // Everything is wrapped up: a console that is closing may end the program now.
    void wrappedUp();
    // The signal that interrupted the program first; 0 when none did, and on Windows.
    int signalNumber() const;

    // Ends the program as `signalNumber` ends it when nothing catches it, so
    // that the shell that started it sees it die of the signal and a script's
    // loop stops too. Does nothing for 0, and on Windows, where the exit
    // status alone says it.
    static void endAsSignalled(int signalNumber);

signals:
    void interrupted();
};
