#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The words read from the text of an object file, or why the text was refused.
struct ParsedObjectFile {
    bool ok = false;
    std::vector<quint16> words;
    QString error;   // why, in Chinese: the window shows one fixed message, the command line this after it
    qsizetype errorOffset = -1;
    int errorLine = 0;   // the line the refusal points at, from 1; 0 when no line is to blame
};

// Reads an object file's text: decimal integers with an optional sign, one
// 16-bit word each, separated by commas, spaces, tabs or line breaks. A line
// break ends a field, so a comma at the start of a line stands for an empty
// one. The text ends at the first DOS end-of-file byte (0x1A), if any.
// Negative numbers are stored as their 16-bit two's complement (-1 is 65535).
// The whole text is refused when any part of it is not a word: a program
// that is only partly read must never reach the device.
class ObjectFileParser {
public:
    static constexpr int kMaxWords = 32768;

    static ParsedObjectFile parse(const QByteArray &wholeText);
};
