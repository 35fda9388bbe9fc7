#pragma once

#include <QByteArray>
#include <QString>

// A raw pseudo-terminal for port tests: the test plays the device on the
// controlling end, the code under test opens the device end by its path.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return master_ >= 0; }
    QString devicePath() const { return path_; }

    void write(const QByteArray &bytes);
    // Reads what arrived within `milliseconds`.
    QByteArray read(int milliseconds);
    // The device goes away: the port sees a hang-up.
    void hangUp();

private:
    int master_ = -1;
    int keptSlave_ = -1;
    QString path_;
};
