#include "programfile.h"

#include <QFile>

#include <random>

namespace {

constexpr std::uint32_t kSeed = 0x4B4437;   // "KD7"
constexpr int kWordsPerLine = 8;

}   // namespace

// Several numbers a line, separated by commas, lines ending in CRLF: the way
// assemblers for the device write them.
ProgramFile::ProgramFile(const QString &filePath, int wordCount)
    : path(filePath),
      words(std::size_t(std::max(wordCount, 0)))
{
    std::mt19937 random(kSeed);
    std::uniform_int_distribution<int> word(0, 0xFFFF);
    QByteArray text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = quint16(word(random));
        text += QByteArray::number(words[i]);
        text += (i + 1) % kWordsPerLine == 0 || i + 1 == words.size() ? "\r\n" : ",";
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}
