// Arbitrary bytes as the text of an object file. The parser must accept
// exactly the texts that follow the file format's rules, read every number as
// written, never take more than 32768 words, and leave nothing behind when it
// refuses a text.
#include "image/objectfileparser.h"
#include "tests/fuzz/fuzzcheck.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

constexpr qint64 kWordRange = 65536;
constexpr qint64 kTooLarge = 1LL << 40;   // far past any word: stop accumulating digits
constexpr int kMaxWords = ObjectFileParser::kMaxWords;
const char *const kSeparators[] = {",", "\n", "\r\n", ", ", " ", "\t", ",\r\n", "\r"};
constexpr std::size_t kSeparatorCount = sizeof kSeparators / sizeof kSeparators[0];
const QByteArray kByteOrderMark("\xEF\xBB\xBF");
constexpr qsizetype kLargestProgramEvery = 16;
constexpr qsizetype kLongestRepeatedText = 256 * 1024;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// What is read of a text: past a leading byte-order mark, up to the first
// DOS end-of-file byte.
QByteArray readableBody(const QByteArray &text)
{
    const QByteArray body = text.startsWith(kByteOrderMark) ? text.mid(kByteOrderMark.size()) : text;
    const qsizetype endOfFile = body.indexOf('\x1A');
    return endOfFile < 0 ? body : body.left(endOfFile);
}

bool hasLineBreak(const QByteArray &text, qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to; ++i)
        if (text.at(i) == '\r' || text.at(i) == '\n')
            return true;
    return false;
}

qsizetype skipBlanks(const QByteArray &text, qsizetype i)
{
    while (i < text.size() && isBlank(text.at(i)))
        ++i;
    return i;
}

// The words of a text read by the rules of the file format, written
// separately from the parser so the two can be compared: signed decimal
// numbers, each ending at a blank, a comma or the end; a comma must be
// followed by another number and must not open a line; the text ends at
// 0x1A; negative numbers stored as 16-bit two's
// complement; at most 32768 of them. Empty when the text breaks a rule.
std::optional<std::vector<quint16>> readByTheRules(const QByteArray &text)
{
    const QByteArray body = readableBody(text);
    std::vector<quint16> words;
    qsizetype i = skipBlanks(body, 0);
    while (i < body.size()) {
        const bool negative = body.at(i) == '-';
        if (negative || body.at(i) == '+')
            ++i;
        if (i == body.size() || !isDigit(body.at(i)))
            return std::nullopt;
        qint64 value = 0;
        for (; i < body.size() && isDigit(body.at(i)); ++i)
            value = std::min(value * 10 + (body.at(i) - '0'), kTooLarge);
        if (value > (negative ? kWordRange : kWordRange - 1) || int(words.size()) == kMaxWords)
            return std::nullopt;
        words.push_back(quint16(negative ? (kWordRange - value) % kWordRange : value));
        const qsizetype next = skipBlanks(body, i);
        if (next < body.size() && body.at(next) == ',') {
            if (hasLineBreak(body, i, next))
                return std::nullopt;   // the comma opens a line: an empty field
            i = skipBlanks(body, next + 1);
            if (i == body.size())
                return std::nullopt;
        } else if (next == i && next < body.size()) {
            return std::nullopt;   // no blank or comma after the number
        } else {
            i = next;
        }
    }
    return words;
}

QByteArray written(const std::vector<quint16> &words, const char *separator)
{
    QByteArray text;
    for (const quint16 w : words) {
        if (!text.isEmpty())
            text += separator;
        text += QByteArray::number(w);
    }
    return text;
}

QByteArray repeated(const QByteArray &body, int times)
{
    QByteArray text;
    for (int i = 0; i < times; ++i) {
        if (i > 0)
            text += '\n';
        text += body;
    }
    return text;
}

// The same numbers repeated up to the largest program are accepted whole;
// one repetition more is refused. Parsing a program that long is costly, so
// only inputs whose length is a multiple of kLargestProgramEvery are checked
// so (chosen by length, so a replay checks the same ones), and only when the
// repeated text stays short enough.
void checkLargestProgram(const std::vector<quint16> &words, const QByteArray &text)
{
    const int count = int(words.size());
    if (count == 0 || text.size() % kLargestProgramEvery != 0)
        return;
    const int fitting = kMaxWords / count;
    const QByteArray body = readableBody(text);
    if ((body.size() + 1) * (fitting + 1) > kLongestRepeatedText)
        return;
    const ParsedObjectFile largest = ObjectFileParser::parse(repeated(body, fitting));
    fuzzRequire(largest.ok && int(largest.words.size()) == fitting * count,
                "a program up to 32768 words is accepted whole");
    for (int i = 0; i < fitting * count; ++i)
        fuzzRequire(largest.words[std::size_t(i)] == words[std::size_t(i % count)],
                    "a long program is read word for word");
    const ParsedObjectFile tooLong = ObjectFileParser::parse(repeated(body, fitting + 1));
    fuzzRequire(!tooLong.ok && tooLong.words.empty(), "more than 32768 words are refused");
}

bool sameResult(const ParsedObjectFile &a, const ParsedObjectFile &b)
{
    return a.ok == b.ok && a.words == b.words && a.errorOffset == b.errorOffset;
}

void checkRefused(const ParsedObjectFile &parsed, const QByteArray &text)
{
    fuzzRequire(parsed.words.empty(), "a refused text yields no words");
    fuzzRequire(parsed.errorOffset >= 0 && parsed.errorOffset <= text.size(),
                "a refusal points inside the text");
}

void checkAccepted(const ParsedObjectFile &parsed, const QByteArray &text, const char *separator)
{
    fuzzRequire(parsed.words.size() <= std::size_t(kMaxWords), "at most 32768 words");

    const ParsedObjectFile again = ObjectFileParser::parse(written(parsed.words, separator));
    fuzzRequire(again.ok && again.words == parsed.words, "the words written back read the same");

    const ParsedObjectFile trailed = ObjectFileParser::parse(text + "\r\n");
    fuzzRequire(trailed.ok && trailed.words == parsed.words, "a trailing line break changes nothing");

    checkLargestProgram(parsed.words, text);
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const ParsedObjectFile parsed = ObjectFileParser::parse(text);
    fuzzRequire(sameResult(parsed, ObjectFileParser::parse(text)), "parsing is deterministic");
    const std::optional<std::vector<quint16>> byTheRules = readByTheRules(text);
    fuzzRequire(parsed.ok == byTheRules.has_value(), "a text is accepted exactly when it follows the rules");
    if (!parsed.ok) {
        checkRefused(parsed, text);
        return 0;
    }
    fuzzRequire(parsed.words == *byTheRules, "each number is read as written");
    const char *separator = kSeparators[size == 0 ? 0 : data[0] % kSeparatorCount];
    checkAccepted(parsed, text, separator);
    return 0;
}
