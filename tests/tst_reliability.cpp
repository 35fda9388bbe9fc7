// Fault injection through a real serial line: the real main window downloads
// to the simulated KD7 on a pseudo-terminal while the device, the port or the
// file misbehaves. Each case checks the bytes the device received, the words
// it stored, the count in Label4, the messages shown, that the port is
// released, and that a second download with the fault cleared arrives exact.
#include "serial/module1.h"
#include "tests/support/devicebytes.h"
#include "tests/support/devicefaults.h"
#include "tests/support/windowonline.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTest>

#include <vector>

using Words = std::vector<quint16>;
// Frame indices in the order they crossed the line; index WordCount is the
// extra frame that carries 0.
using Frames = QList<int>;

// What one download put on the wire, in the device's terms.
struct Wire {
    int handshakes = 0;             // each after a preamble
    bool closingPreamble = false;   // the preamble that ends a failed handshake
    Frames frames;
    bool endMarker = false;
};

// What stands between the window and the device in the host-side cases.
enum class Obstacle {
    PortHeld,
    PortUnknown,
    FileRefused,
    FileRefusedAfterGoodOne
};

Q_DECLARE_METATYPE(Words)
Q_DECLARE_METATYPE(Wire)
Q_DECLARE_METATYPE(Obstacle)

namespace {

constexpr int kWords = 12;   // a program that shows every fault
constexpr int kLargestProgram = 32768;
constexpr double kFaultClockFactor = 10.0;   // half-second waits pass in 50 ms
constexpr double kRealClock = 1.0;           // nothing times out in a clean transfer
constexpr int kDeviceCatchUpMs = 3000;       // the device thread reads what was sent
constexpr int kAttempts = 10;
// Host seconds for a download the device hangs up on: below the tool's 2 s
// limit for a stuck line and a frame's ten half-second waits.
constexpr double kHungUpEndsWithin = 1.0;
constexpr quint32 kWordSeed = 0x4B443737;   // the same program in every run
const QString kPortRefused = QStringLiteral("串口不能打开! ");
const QString kFileRefused = QStringLiteral("文件不能打开!");

// A delay in the device's real seconds that the host, on the fast clock,
// measures as `hostSeconds`.
double realSeconds(double hostSeconds) { return hostSeconds / kFaultClockFactor; }

QString count(int frames) { return QString::number(frames); }
QString allFrames() { return count(kWords + 1); }

Words programOf(int length)
{
    QRandomGenerator random(kWordSeed);
    Words words(size_t(length), 0);
    for (quint16 &w : words)
        w = quint16(random.bounded(65536));
    return words;
}

quint16 wordOfFrame(const Words &words, int frame)
{
    return frame < int(words.size()) ? words[size_t(frame)] : quint16(0);
}

QByteArray expectedBytes(const Wire &wire, const Words &words)
{
    QByteArray bytes;
    for (int i = 0; i < wire.handshakes; ++i)
        bytes += DeviceBytes::wakeUp();
    if (wire.closingPreamble)
        bytes += DeviceBytes::preamble();
    for (const int frame : wire.frames)
        bytes += DeviceBytes::frame(wordOfFrame(words, frame));
    if (wire.endMarker)
        bytes += DeviceBytes::endMarker();
    return bytes;
}

// The device stores every frame it receives with a good check byte.
std::vector<std::uint16_t> expectedStored(const Wire &wire, const Words &words)
{
    std::vector<std::uint16_t> stored;
    for (const int frame : wire.frames)
        stored.push_back(wordOfFrame(words, frame));
    return stored;
}

Frames upTo(int end)
{
    Frames frames;
    for (int i = 0; i < end; ++i)
        frames << i;
    return frames;
}

Frames repeated(int frame, int times = kAttempts) { return Frames(times, frame); }

Frames from(int begin, int end) { return upTo(end).mid(begin); }

Wire handshakeRefused() { return {kAttempts, true, {}, false}; }

Wire wordsStopAt(Frames frames) { return {1, false, std::move(frames), false}; }

Wire finished(Frames frames) { return {1, false, std::move(frames), true}; }

QByteArray tooManyNumbers()
{
    QByteArray text;
    for (int i = 0; i <= kLargestProgram; ++i)
        text += "1\n";
    return text;
}

}   // namespace

class TestReliability : public QObject {
    Q_OBJECT

private slots:
    void init() { PortNo = 1; }
    void deviceFaults_data();
    void deviceFaults();
    void hostObstacles_data();
    void hostObstacles();

private:
    static void secondDownloadArrivesExact(WindowOnLine &bench, const Words &words);
};

void TestReliability::deviceFaults_data()
{
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<Words>("words");
    QTest::addColumn<double>("clockFactor");
    QTest::addColumn<QString>("label4");
    QTest::addColumn<Wire>("wire");

    const Words program = programOf(kWords);

    QTest::newRow("worked example: words 1 and 2")
        << Faults() << Words{1, 2} << kRealClock << count(3) << finished(upTo(3));
    QTest::newRow("clean transfer of 32768 words")
        << Faults() << programOf(kLargestProgram) << kRealClock << count(kLargestProgram + 1)
        << finished(upTo(kLargestProgram + 1));
    QTest::newRow("silent device") << faultsWith([](Faults &f) { f.silent = true; }) << program
                                   << kFaultClockFactor << count(0) << handshakeRefused();
    QTest::newRow("stops at word 0") << faultsWith([](Faults &f) { f.stopAtWord = 0; }) << program
                                     << kFaultClockFactor << count(0) << wordsStopAt(repeated(0));
    QTest::newRow("stops at word 5") << faultsWith([](Faults &f) { f.stopAtWord = 5; }) << program
                                     << kFaultClockFactor << count(5) << wordsStopAt(upTo(5) + repeated(5));
    QTest::newRow("stops at the extra last frame")
        << faultsWith([](Faults &f) { f.stopAtWord = kWords; }) << program << kFaultClockFactor
        << count(kWords) << wordsStopAt(upTo(kWords) + repeated(kWords));
    QTest::newRow("answers 0x15 instead of 0x06")
        << faultsWith([](Faults &f) { f.answerByte = 0x15; }) << program << kFaultClockFactor << count(0)
        << handshakeRefused();
    QTest::newRow("answers 06 followed by 00")
        << faultsWith([](Faults &f) { f.trailingByte = 0x00; }) << program << kFaultClockFactor << count(0)
        << handshakeRefused();
    QTest::newRow("answers 00 followed by 06") << faultsWith([](Faults &f) {
        f.answerByte = 0x00;
        f.trailingByte = 0x06;
    }) << program << kFaultClockFactor << allFrames()
                                               << finished(upTo(kWords + 1));
    // On the real clock: on the fast one the 0.2 s to spare would be 20 ms,
    // which a loaded machine's scheduling can take.
    QTest::newRow("every answer 0.3 s late: still in time")
        << faultsWith([](Faults &f) { f.answerLatency = 0.3; }) << program << kRealClock << allFrames()
        << finished(upTo(kWords + 1));
    // No sequence numbers: the host resends word 3, the device stores it
    // twice, and Label4 still shows every frame acknowledged.
    QTest::newRow("word 3 answered 0.6 s late: stored twice") << faultsWith([](Faults &f) {
        f.lateFrame = 3;
        f.lateBy = realSeconds(0.6);
    }) << program << kFaultClockFactor << allFrames() << finished(upTo(4) + Frames{3} + from(4, kWords + 1));
    // The stale acknowledgement of word 3 then stands in for a later frame's.
    // The device stays silent from its seventh frame on (word 5, as word 3
    // went out twice), yet Label4 counts word 5 as acknowledged; silent only
    // at the extra last frame, the download even shows complete.
    QTest::newRow("late answer to word 3 taken for word 5's") << faultsWith([](Faults &f) {
        f.lateFrame = 3;
        f.lateBy = realSeconds(0.75);
        f.stopAtWord = 6;
    }) << program << kFaultClockFactor << count(6) << wordsStopAt(upTo(4) + Frames{3, 4, 5} + repeated(6));
    QTest::newRow("late answer to word 3 taken for the extra last frame's") << faultsWith([](Faults &f) {
        f.lateFrame = 3;
        f.lateBy = realSeconds(0.75);
        f.stopAtWord = kWords + 1;
    }) << program << kFaultClockFactor << allFrames() << finished(upTo(4) + Frames{3} + from(4, kWords + 1));
    QTest::newRow("answers at the pace of a 9600-baud line")
        << faultsWith([](Faults &f) { f.paced = true; }) << program << kRealClock << allFrames()
        << finished(upTo(kWords + 1));
    QTest::newRow("hangs up at word 0") << faultsWith([](Faults &f) { f.hangUpAtWord = 0; }) << program
                                        << kFaultClockFactor << count(0) << wordsStopAt(upTo(1));
    QTest::newRow("hangs up at word 5") << faultsWith([](Faults &f) { f.hangUpAtWord = 5; }) << program
                                        << kFaultClockFactor << count(5) << wordsStopAt(upTo(6));
    QTest::newRow("hangs up at the extra last frame")
        << faultsWith([](Faults &f) { f.hangUpAtWord = kWords; }) << program << kFaultClockFactor
        << count(kWords) << wordsStopAt(upTo(kWords + 1));
    // On the real clock, where waiting out the retries would show.
    QTest::newRow("unplugged at word 5 of 20")
        << faultsWith([](Faults &f) { f.hangUpAtWord = 5; }) << programOf(20) << kRealClock << count(5)
        << wordsStopAt(upTo(6));
}

void TestReliability::deviceFaults()
{
    QFETCH(Faults, faults);
    QFETCH(Words, words);
    QFETCH(double, clockFactor);
    QFETCH(Wire, wire);
    WindowOnLine bench(faults, clockFactor);
    bench.load(words);
    const qsizetype before = bench.received();
    const double start = bench.clock.now();

    QTEST(bench.download(), "label4");
    const double took = bench.clock.now() - start;
    const QByteArray expected = expectedBytes(wire, words);
    QTRY_COMPARE_WITH_TIMEOUT(bench.receivedSince(before).size(), expected.size(), kDeviceCatchUpMs);
    QVERIFY(bench.receivedSince(before) == expected);   // too long for QCOMPARE to print usefully
    QCOMPARE(bench.device.counters().handshakesSeen, wire.handshakes);
    QCOMPARE(bench.device.words(), expectedStored(wire, words));
    if (wire.handshakes > 0)
        QCOMPARE(bench.device.sessions().back().endMarkerSeen, wire.endMarker);
    QVERIFY(bench.messages.isEmpty());
    if (bench.device.hungUp()) {   // the download ends at once, without waiting out retries
        QVERIFY2(took < kHungUpEndsWithin, qPrintable(QString::number(took)));
        QVERIFY(!bench.form->MSComm1().PortOpen());
    } else {
        QVERIFY(bench.portReleased());
    }

    bench.device.setFaults({});
    if (bench.device.hungUp())
        QVERIFY(bench.device.reopen());   // plugged back in
    secondDownloadArrivesExact(bench, words);
    const QByteArray secondDownload = expectedBytes(finished(upTo(int(words.size()) + 1)), words);
    QVERIFY(bench.receivedSince(before) == expected + secondDownload);   // and nothing else
}

void TestReliability::hostObstacles_data()
{
    QTest::addColumn<Obstacle>("obstacle");
    QTest::addColumn<int>("portNo");
    QTest::addColumn<QByteArray>("refusedText");
    QTest::addColumn<QString>("label4");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("port held by another program")
        << Obstacle::PortHeld << 1 << QByteArray() << count(0) << QStringList{kPortRefused};
    QTest::newRow("port number 4 names no port")
        << Obstacle::PortUnknown << 4 << QByteArray() << count(0) << QStringList{kPortRefused};
    QTest::newRow("port number 0 names no port")
        << Obstacle::PortUnknown << 0 << QByteArray() << count(0) << QStringList{kPortRefused};
    QTest::newRow("empty field in the file")
        << Obstacle::FileRefused << 1 << QByteArray("1,,2\n") << "无数据!" << QStringList{kFileRefused};
    QTest::newRow("number outside 16 bits")
        << Obstacle::FileRefused << 1 << QByteArray("1\n70000\n") << "无数据!" << QStringList{kFileRefused};
    QTest::newRow("letters in the file") << Obstacle::FileRefused << 1 << QByteArray("12\nMOV A,B\n")
                                         << "无数据!" << QStringList{kFileRefused};
    QTest::newRow("32769 numbers") << Obstacle::FileRefused << 1 << tooManyNumbers() << "无数据!"
                                   << QStringList{kFileRefused};
    QTest::newRow("refused file after a good one sends the good one")
        << Obstacle::FileRefusedAfterGoodOne << 1 << QByteArray("1,2,\n") << allFrames()
        << QStringList{kFileRefused};
}

void TestReliability::hostObstacles()
{
    QFETCH(Obstacle, obstacle);
    QFETCH(int, portNo);
    QFETCH(QByteArray, refusedText);
    WindowOnLine bench(Faults(), kFaultClockFactor);
    const Words words = programOf(kWords);
    const bool goodOneLoaded = obstacle != Obstacle::FileRefused;
    if (goodOneLoaded)
        bench.load(words);
    if (!refusedText.isEmpty())
        bench.loadText(refusedText);
    QSerialPort other(QString::fromStdString(bench.device.devicePath()));
    if (obstacle == Obstacle::PortHeld)
        QVERIFY(other.open(QIODevice::ReadWrite));
    PortNo = qint16(portNo);
    const qsizetype before = bench.received();

    QTEST(bench.download(), "label4");
    QTEST(bench.messages, "messages");
    const bool goodOneSent = obstacle == Obstacle::FileRefusedAfterGoodOne;
    if (goodOneSent) {
        QVERIFY(bench.device.waitForEndMarker(kDeviceCatchUpMs / 1000.0));
        QCOMPARE(bench.device.words(), withExtraFrame(words));
    }
    if (other.isOpen())
        other.close();   // the other program lets go of the port
    QVERIFY(bench.portReleased());

    PortNo = 1;
    if (!goodOneLoaded)
        bench.load(words);
    bench.messages.clear();
    secondDownloadArrivesExact(bench, words);
    // Only the downloads' own bytes crossed the line: the first one sent
    // nothing unless it had the good program.
    const QByteArray oneDownload = expectedBytes(finished(upTo(kWords + 1)), words);
    QVERIFY(bench.receivedSince(before) == (goodOneSent ? oneDownload + oneDownload : oneDownload));
}

void TestReliability::secondDownloadArrivesExact(WindowOnLine &bench, const Words &words)
{
    const int handshakes = bench.device.counters().handshakesSeen;
    QCOMPARE(bench.download(), QString::number(words.size() + 1));
    QVERIFY(bench.device.waitForEndMarker(kDeviceCatchUpMs / 1000.0));
    QCOMPARE(bench.device.counters().handshakesSeen, handshakes + 1);
    QVERIFY(bench.device.words() == withExtraFrame(words));
    QVERIFY(bench.messages.isEmpty());
    QVERIFY(bench.portReleased());
}

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
