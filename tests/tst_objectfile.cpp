#include "image/objectfileparser.h"
#include "image/objectfilereader.h"
#include "image/programimage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using Words = std::vector<quint16>;
Q_DECLARE_METATYPE(Words)

class TestObjectFile : public QObject {
    Q_OBJECT

private slots:
    void acceptedText_data();
    void acceptedText();
    void refusedText_data();
    void refusedText();
    void tooManyNumbers();
    void largestProgramLoadsWhole();
    void loadClearsSlotsOfALongerProgram();
    void frameWordPastTheImageIsZero();
    void readsFilesWithChinesePaths();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
};

void TestObjectFile::acceptedText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Words>("words");

    QTest::newRow("one line with commas") << QByteArray("1,2,3") << Words{1, 2, 3};
    QTest::newRow("one number a line") << QByteArray("1\n2\n3\n") << Words{1, 2, 3};
    QTest::newRow("CRLF line breaks") << QByteArray("1\r\n2\r\n3\r\n") << Words{1, 2, 3};
    QTest::newRow("CR line breaks") << QByteArray("1\r2\r3") << Words{1, 2, 3};
    QTest::newRow("spaces and tabs") << QByteArray("1 2\t3") << Words{1, 2, 3};
    QTest::newRow("comma then space") << QByteArray("1, 2 ,3") << Words{1, 2, 3};
    QTest::newRow("comma at line end") << QByteArray("1,2,\n3") << Words{1, 2, 3};
    QTest::newRow("leading blanks and lines") << QByteArray("\n\n  \t7") << Words{7};
    QTest::newRow("trailing blank lines") << QByteArray("7\n\n  \n\t") << Words{7};
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "5,6\r\n")
                                     << Words{5, 6};
    QTest::newRow("empty file") << QByteArray() << Words{};
    QTest::newRow("only a byte-order mark") << QByteArray("\xEF\xBB\xBF") << Words{};
    QTest::newRow("only blanks") << QByteArray(" \r\n ") << Words{};
    QTest::newRow("plus sign") << QByteArray("+12") << Words{12};
    QTest::newRow("-1 is 65535") << QByteArray("-1") << Words{65535};
    QTest::newRow("-32768 is 32768") << QByteArray("-32768") << Words{32768};
    QTest::newRow("-65536 is 0") << QByteArray("-65536") << Words{0};
    QTest::newRow("65535 stays") << QByteArray("65535") << Words{65535};
    QTest::newRow("leading zeros") << QByteArray("0007") << Words{7};
    QTest::newRow("DOS end-of-file byte") << QByteArray("1,2\r\n\x1A") << Words{1, 2};
    QTest::newRow("nothing after 0x1A is read") << QByteArray("1\x1A"
                                                              ",,x\r\n9")
                                                << Words{1};
    QTest::newRow("0x1A alone") << QByteArray("\x1A") << Words{};
    // CP/M and old DOS editors fill the file's last 128-byte record with 0x1A.
    QTest::newRow("last record filled with 0x1A")
        << QByteArray("1,2\r\n") + QByteArray(123, '\x1A') << Words{1, 2};
}

void TestObjectFile::acceptedText()
{
    QFETCH(QByteArray, text);
    QFETCH(Words, words);
    const ParsedObjectFile parsed = ObjectFileParser::parse(text);
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    QCOMPARE(parsed.words, words);
}

void TestObjectFile::refusedText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");   // the line the refusal names

    QTest::newRow("70000 does not fit 16 bits") << QByteArray("1,70000") << 1;
    QTest::newRow("-70000 does not fit 16 bits") << QByteArray("-70000") << 1;
    QTest::newRow("-65537 does not fit 16 bits") << QByteArray("-65537") << 1;
    QTest::newRow("too large for 32 bits") << QByteArray("99999999999") << 1;
    QTest::newRow("2147483648") << QByteArray("2147483648") << 1;
    QTest::newRow("letters") << QByteArray("1,abc,3") << 1;
    QTest::newRow("letters after digits") << QByteArray("12ab") << 1;
    QTest::newRow("decimal point") << QByteArray("1.5") << 1;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << 1;
    QTest::newRow("empty field between commas") << QByteArray("1,,2") << 1;
    QTest::newRow("leading comma") << QByteArray(",1") << 1;
    QTest::newRow("trailing comma") << QByteArray("1,2,") << 1;
    QTest::newRow("comma opening a line") << QByteArray("1\r\n,2") << 2;
    QTest::newRow("comma alone on a line") << QByteArray("1\r\n,\r\n2") << 2;
    QTest::newRow("comma after blanks opening a line") << QByteArray("1\n \t,2") << 2;
    QTest::newRow("65536 does not fit 16 bits") << QByteArray("65536") << 1;
    QTest::newRow("letters on the third CRLF line") << QByteArray("1\r\n2\r\nx") << 3;
    QTest::newRow("trailing comma on the third CR line") << QByteArray("1\r2\r3,") << 3;
    QTest::newRow("sign alone") << QByteArray("1 - 2") << 1;
    QTest::newRow("minus between numbers") << QByteArray("10-5") << 1;
    QTest::newRow("plus between numbers") << QByteArray("3+4") << 1;
    QTest::newRow("quoted number") << QByteArray("\"1\"") << 1;
    QTest::newRow("NUL byte") << QByteArray("1\0"
                                            "2",
                                            3)
                              << 1;
    QTest::newRow("UTF-16 text") << QByteArray("\xFF\xFE"
                                               "1\0",
                                               4)
                                 << 1;
}

void TestObjectFile::refusedText()
{
    QFETCH(QByteArray, text);
    const ParsedObjectFile parsed = ObjectFileParser::parse(text);
    QVERIFY(!parsed.ok);
    QVERIFY(parsed.words.empty());
    QVERIFY(!parsed.error.isEmpty());
    QTEST(parsed.errorLine, "line");
}

static QByteArray numbersText(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(i % 65536) + "\r\n";
    return text;
}

void TestObjectFile::tooManyNumbers() { QVERIFY(!ObjectFileParser::parse(numbersText(32769)).ok); }

void TestObjectFile::largestProgramLoadsWhole()
{
    const ParsedObjectFile parsed = ObjectFileParser::parse(numbersText(32768));
    QVERIFY(parsed.ok);
    QCOMPARE(int(parsed.words.size()), 32768);
    QCOMPARE(parsed.words.back(), quint16(32767));
}

void TestObjectFile::loadClearsSlotsOfALongerProgram()
{
    ProgramImage image;
    Words twenty(20);
    for (int i = 0; i < 20; ++i)
        twenty[i] = quint16(100 + i);
    image.load(twenty);
    image.load(Words(10, 7));
    QCOMPARE(image.WordCount, 10);
    QCOMPARE(image.ProgWords[9], 7);
    for (int i = 10; i < 20; ++i)
        QCOMPARE(image.ProgWords[i], 0);
    QCOMPARE(image.frameWord(10), quint16(0));
}

void TestObjectFile::frameWordPastTheImageIsZero()
{
    ProgramImage image;
    image.load(Words(ProgramImage::kSlots, 0xFFFF));
    QCOMPARE(image.frameWord(ProgramImage::kSlots - 1), quint16(0xFFFF));
    QCOMPARE(image.frameWord(ProgramImage::kSlots), quint16(0));
}

void TestObjectFile::readsFilesWithChinesePaths()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("用户程序/测试.obj"));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF"
               "1,2\r\n-1\r\n");
    file.close();
    const ParsedObjectFile parsed = ObjectFileReader::read(path);
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    QCOMPARE(parsed.words, (Words{1, 2, 65535}));
}

// What stands at a path that names no regular file, or a file that cannot
// be read to its end, made for one row; the
// test's folder holds it. `release` ends a read that waits for it anyway.
struct NotAFile {
    QString path;
    std::function<void()> release = [] {};
};
using MakeNotAFile = std::function<NotAFile(const QTemporaryDir &)>;
Q_DECLARE_METATYPE(MakeNotAFile)

void TestObjectFile::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<MakeNotAFile>("make");
    QTest::newRow("missing file") << MakeNotAFile(
        [](const QTemporaryDir &dir) { return NotAFile{dir.filePath(QStringLiteral("none.OBJ"))}; });
    QTest::newRow("folder") << MakeNotAFile([](const QTemporaryDir &dir) { return NotAFile{dir.path()}; });
#ifdef Q_OS_WIN
    QTest::newRow("device NUL") << MakeNotAFile(
        [](const QTemporaryDir &) { return NotAFile{QStringLiteral("NUL")}; });
    QTest::newRow("named pipe") << MakeNotAFile([](const QTemporaryDir &) {
        const QString name = QStringLiteral("\\\\.\\pipe\\kd7-not-a-file-%1").arg(::GetCurrentProcessId());
        HANDLE pipe = ::CreateNamedPipeW(reinterpret_cast<const wchar_t *>(name.utf16()), PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
        return NotAFile{name, [pipe] { ::CloseHandle(pipe); }};
    });
#else
    QTest::newRow("named pipe nobody writes to") << MakeNotAFile([](const QTemporaryDir &dir) {
        const QString path = dir.filePath(QStringLiteral("pipe.OBJ"));
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
        return NotAFile{path, [path] {   // a writer comes and goes: a waiting open returns
                            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
                            if (fd >= 0)
                                ::close(fd);
                        }};
    });
    QTest::newRow("character device")
        << MakeNotAFile([](const QTemporaryDir &) { return NotAFile{QStringLiteral("/dev/null")}; });
    QTest::newRow("block device") << MakeNotAFile([](const QTemporaryDir &) {
        const QStringList disks
            = QDir(QStringLiteral("/sys/class/block")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &disk : disks)
            if (QFileInfo::exists(QStringLiteral("/dev/") + disk))
                return NotAFile{QStringLiteral("/dev/") + disk};
        return NotAFile{};
    });
    // A read that fails, as on a failing USB stick, is no end of the file.
    QTest::newRow("a file whose read fails (EIO)")
        << MakeNotAFile([](const QTemporaryDir &) { return NotAFile{QStringLiteral("/proc/self/mem")}; });
    QTest::newRow("socket") << MakeNotAFile([](const QTemporaryDir &dir) {
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("socket.OBJ")));
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
        ::listen(fd, 1);
        return NotAFile{QFile::decodeName(path), [fd] { ::close(fd); }};
    });
#endif
}

// Refused at once, never waited on: a read that has not returned within five
// seconds fails the row (and is released, so that the test can end).
void TestObjectFile::onlyRegularFilesAreRead()
{
    QFETCH(MakeNotAFile, make);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const NotAFile notAFile = make(dir);
    if (notAFile.path.isEmpty())
        QSKIP("this machine has no such thing to try");
    auto read = std::make_shared<std::promise<ParsedObjectFile>>();
    std::future<ParsedObjectFile> result = read->get_future();
    std::thread([read, path = notAFile.path] { read->set_value(ObjectFileReader::read(path)); }).detach();
    const bool returned = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    notAFile.release();
    QVERIFY2(returned, "the read waited for what stands at the path");
    const ParsedObjectFile parsed = result.get();
    QVERIFY(!parsed.ok);
    QVERIFY(parsed.words.empty());
}

QTEST_GUILESS_MAIN(TestObjectFile)
#include "tst_objectfile.moc"
