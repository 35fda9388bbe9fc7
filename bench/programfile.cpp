#include "programfile.h"

#include <QFile>

#include <random>

namespace {

constexpr std::uint32_t kSeed = 0x4B4437;   // "KD7"
constexpr int kWordsPerLine = 8;

}   // namespace

ProgramFile::ProgramFile(const QString &path, int wordCount) : path_(path), words_(makeWords(wordCount))
{
    written_ = write();
}

std::vector<std::uint16_t> ProgramFile::makeWords(int count)
{
    std::mt19937 random(kSeed);
    std::uniform_int_distribution<int> word(0, 0xFFFF);
    std::vector<std::uint16_t> words(std::size_t(count > 0 ? count : 0));
    for (std::uint16_t &w : words)
        w = std::uint16_t(word(random));
    return words;
}

// Several numbers a line, separated by commas, lines ending in CRLF: the way
// assemblers for the device write them.
bool ProgramFile::write() const
{
    QByteArray text;
    for (std::size_t i = 0; i < words_.size(); ++i) {
        text += QByteArray::number(words_[i]);
        const bool lineEnds = (i + 1) % kWordsPerLine == 0 || i + 1 == words_.size();
        text += lineEnds ? "\r\n" : ",";
    }
    QFile file(path_);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size()
        && file.flush();
}

std::vector<std::uint16_t> ProgramFile::expectedOnDevice() const
{
    std::vector<std::uint16_t> expected = words_;
    expected.push_back(0);
    return expected;
}
