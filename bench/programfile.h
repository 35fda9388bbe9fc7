#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// A program of a given length written as an object file, with words drawn
// from a fixed seed so that every run sends the same bytes, every byte value
// (0x02 and 0x06 included) turning up in the frames.
class ProgramFile {
public:
    ProgramFile(const QString &path, int wordCount);

    bool written() const { return written_; }
    const QString &path() const { return path_; }
    const std::vector<std::uint16_t> &words() const { return words_; }
    // The words the device must store: the program, then the frame carrying 0.
    std::vector<std::uint16_t> expectedOnDevice() const;

private:
    static std::vector<std::uint16_t> makeWords(int count);
    bool write() const;

    QString path_;
    std::vector<std::uint16_t> words_;
    bool written_ = false;
};
