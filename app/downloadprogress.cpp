#include "app/downloadprogress.h"

#include <QProgressBar>

void DownloadProgress::start(int frames)
{
    bar_.setRange(0, frames);
    bar_.setValue(0);
    bar_.show();
    lastShown_ = clock_.now();
}

void DownloadProgress::update(int acknowledged, int frames)
{
    const double now = clock_.now();
    if (acknowledged < frames && now - lastShown_ < kInterval)
        return;
    bar_.setValue(acknowledged);
    lastShown_ = now;
}

void DownloadProgress::finish() { bar_.hide(); }
