#pragma once

#include <QString>

#include <vector>

// A program of a given length written as an object file, with words drawn
// from a fixed seed so that every run sends the same bytes, every byte value
// (0x02 and 0x06 included) turning up in the frames.
struct ProgramFile {
    ProgramFile(const QString &path, int wordCount);

    QString path;
    std::vector<quint16> words;
};
