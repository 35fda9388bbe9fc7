#pragma once

#include "image/programimage.h"

#include <QString>

#include <memory>

// The object file named on the command line, read once and refused as File >
// Open refuses it, with the reason and the line; a program of fewer than two
// words is refused too, as the window's download would send nothing.
struct ProgramFile {
    std::unique_ptr<ProgramImage> image;   // none when refused
    QString refusal;                       // the window's message and the cause

    static ProgramFile read(const QString &path);
};
