#include "image/objectfileparser.h"

#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

// DOS editors and assemblers end a text file with this byte; the text ends there.
constexpr char kDosEndOfFile = 0x1A;

QByteArray textBeforeEndOfFileMark(const QByteArray &text)
{
    const qsizetype mark = text.indexOf(kDosEndOfFile);
    return mark < 0 ? text : text.left(mark);
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class Scanner {
public:
    explicit Scanner(const QByteArray &text)
        : begin_(text.constData()),
          p_(begin_),
          end_(begin_ + text.size())
    {}

    void skipByteOrderMark()
    {
        if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0)
            p_ += 3;
    }

    struct Skipped {
        bool any = false;
        bool lineBreak = false;
    };

    // Skips blanks and says what it skipped.
    Skipped skipBlanks()
    {
        Skipped skipped;
        for (; p_ != end_ && isBlank(*p_); ++p_) {
            skipped.any = true;
            skipped.lineBreak = skipped.lineBreak || isLineBreak(*p_);
        }
        return skipped;
    }

    bool atEnd() const { return p_ == end_; }
    char peek() const { return *p_; }
    void advance() { ++p_; }
    qsizetype offset() const { return p_ - begin_; }

    // Reads [+-]digits as a signed 32-bit number; false when it is not one.
    bool readNumber(qint64 &value, QString &why)
    {
        bool negative = false;
        if (p_ != end_ && (*p_ == '+' || *p_ == '-')) {
            negative = *p_ == '-';
            ++p_;
        }
        if (p_ == end_ || !isDigit(*p_)) {
            why = QStringLiteral("这里应是一个十进制数");
            return false;
        }
        qint64 magnitude = 0;
        while (p_ != end_ && isDigit(*p_)) {
            magnitude = magnitude * 10 + (*p_ - '0');
            if (magnitude > 2147483648LL) {
                why = QStringLiteral("数太大");
                return false;
            }
            ++p_;
        }
        value = negative ? -magnitude : magnitude;
        if (value > 2147483647LL) {
            why = QStringLiteral("数太大");
            return false;
        }
        return true;
    }

private:
    const char *begin_;
    const char *p_;
    const char *end_;
};

// A negative number is a signed 16-bit word: it is stored with 65536 added.
bool toWord(qint64 number, quint16 &word)
{
    const qint64 stored = number < 0 ? number + 65536 : number;
    if (stored < 0 || stored > 65535)
        return false;
    word = static_cast<quint16>(stored);
    return true;
}

// The line `offset` falls on, from 1: LF, CRLF and CR each end a line.
int lineAt(const QByteArray &text, qsizetype offset)
{
    int line = 1;
    for (qsizetype i = 0; i < offset && i < text.size(); ++i) {
        if (text.at(i) == '\n' || (text.at(i) == '\r' && (i + 1 == text.size() || text.at(i + 1) != '\n')))
            ++line;
    }
    return line;
}

ParsedObjectFile refused(const QString &why, const QByteArray &text, qsizetype offset)
{
    ParsedObjectFile result;
    result.error = why;
    result.errorOffset = offset;
    result.errorLine = lineAt(text, offset);
    return result;
}

}   // namespace

ParsedObjectFile ObjectFileParser::parse(const QByteArray &wholeText)
{
    ParsedObjectFile result;
    const QByteArray text = textBeforeEndOfFileMark(wholeText);
    Scanner in(text);
    in.skipByteOrderMark();
    in.skipBlanks();
    while (!in.atEnd()) {
        const qsizetype numberStart = in.offset();
        qint64 number = 0;
        QString why;
        if (!in.readNumber(number, why))
            return refused(why, text, in.offset());
        quint16 word = 0;
        if (!toWord(number, word))
            return refused(QStringLiteral("数不在 -65536 到 65535 之间"), text, numberStart);
        if (result.words.size() == kMaxWords)
            return refused(QStringLiteral("多于 32768 个数"), text, numberStart);
        result.words.push_back(word);

        // A number ends at a blank, a comma or the end of the text; a comma
        // must be followed by another number. A line break ends the field
        // too, so a comma that opens the next line leaves an empty field.
        const Scanner::Skipped after = in.skipBlanks();
        if (in.atEnd())
            break;
        if (in.peek() == ',') {
            if (after.lineBreak)
                return refused(QStringLiteral("行首的逗号前没有数"), text, in.offset());
            in.advance();
            in.skipBlanks();
            if (in.atEnd())
                return refused(QStringLiteral("逗号后面没有数"), text, in.offset());
        } else if (!after.any) {
            return refused(QStringLiteral("有不属于数的字符"), text, in.offset());
        }
    }
    result.ok = true;
    return result;
}
