#pragma once

#include "download/clock.h"

class QProgressBar;

// Shows how far a download has come: frames acknowledged out of all frames.
// The bar is shown only while a download runs, and moves at most ten times a
// second so that drawing it never slows the transfer.
class DownloadProgress {
public:
    static constexpr double kInterval = 0.1;

    DownloadProgress(QProgressBar &bar, Clock &clock) : bar_(bar), clock_(clock) {}

    void start(int frames);
    void update(int acknowledged, int frames);
    void finish();

private:
    QProgressBar &bar_;
    Clock &clock_;
    double lastShown_ = 0;
};
