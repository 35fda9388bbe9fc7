#include "kd7sim/simulateddevice.h"
#include "kd7sim/terminal.h"
#include "tests/support/devicebytes.h"
#include "tests/support/devicefaults.h"
#include "tests/support/ptypair.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <string>
#include <vector>

using Words = std::vector<quint16>;
Q_DECLARE_METATYPE(Words)

namespace {

constexpr int kAnswerTimeoutMs = 1000;     // far beyond any answer that is on its way
constexpr int kQuietMs = 60;               // long enough for an unwanted answer to show
constexpr int kIdleMs = 250;               // the window in which the simulator must sit idle
constexpr double kIdleCpuSeconds = 0.05;   // a spinning thread would use the whole window
constexpr int kProcessTimeoutMs = 3000;

const QByteArray kAck(1, DeviceBytes::kAck);
const QByteArray kWakeUp = DeviceBytes::wakeUp();
const QByteArray kHandshake = DeviceBytes::handshake();
const QByteArray kEndMarker = DeviceBytes::endMarker();
const QByteArray kWord1234 = DeviceBytes::frame(0x1234);
const QByteArray kWord0 = DeviceBytes::frame(0);
const QByteArray kWordFFFF = DeviceBytes::frame(0xFFFF);
const QByteArray kWord0A0D = DeviceBytes::frame(0x0A0D);   // CR and LF: a cooked line changes them
const QByteArray kWord1311 = DeviceBytes::frame(0x1311);   // XON and XOFF: flow control swallows them
const QByteArray kBadCheck("\x02\x34\x12\x00", 4);

QByteArray bytesOf(const std::string &text) { return QByteArray(text.data(), qsizetype(text.size())); }

double processCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Sends a message and reads the answer it brings back.
QByteArray exchange(TerminalEnd &host, const QByteArray &message, int answerLength = 1)
{
    return host.write(message) ? host.read(kAnswerTimeoutMs, answerLength) : QByteArray();
}

}   // namespace

class TestSimulatedDevice : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void answerTiming_data();
    void answerTiming();
    void lateAnswerAndResentFrame();
    void hangUpThenPlugBackIn();
    void sessions_data();
    void sessions();
    void hostClosingThePortLeavesTheLineUp();
    void listensOnASerialPort();
    void refusesWhatIsNoSerialPort_data();
    void refusesWhatIsNoSerialPort();
    void commandLine_data();
    void commandLine();
    void commandLineRefused_data();
    void commandLineRefused();
    void helpAndVersion_data();
    void helpAndVersion();
};

void TestSimulatedDevice::answers_data()
{
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<bool>("hostSetsRaw");
    QTest::addColumn<QByteArrayList>("messages");
    QTest::addColumn<QByteArrayList>("answers");   // what each message brings back
    QTest::addColumn<Words>("words");
    QTest::addColumn<int>("badCheckBytes");
    QTest::addColumn<int>("skippedBytes");
    QTest::addColumn<bool>("endMarker");

    const QByteArray none;
    const QByteArrayList download{kWakeUp, kWord1234, kWord0, kWordFFFF, kWord0, kEndMarker};
    const Words downloaded{0x1234, 0, 65535, 0};

    QTest::newRow("clean download") << Faults{} << true << download
                                    << QByteArrayList{kAck, kAck, kAck, kAck, kAck, none} << downloaded << 0
                                    << 0 << true;
    // A broken handshake right before the real one: its start byte begins the match again.
    const QByteArray noisyWakeUp
        = QByteArray("\x55\x02KD\x02\x02K", 7) + kWakeUp.chopped(4) + QByteArray("\x02KD", 3) + kHandshake;
    QTest::newRow("noise and broken handshakes before the handshake")
        << Faults{} << true << QByteArrayList{noisyWakeUp, kWord1234, kEndMarker}
        << QByteArrayList{kAck, kAck, none} << Words{0x1234} << 0 << 0 << true;
    QTest::newRow("host leaves the line settings alone")
        << Faults{} << false << QByteArrayList{kWakeUp, kWord0A0D, kWord1311, kEndMarker}
        << QByteArrayList{kAck, kAck, kAck, none} << Words{0x0A0D, 0x1311} << 0 << 0 << true;
    QTest::newRow("silent device still records")
        << faultsWith([](Faults &f) { f.silent = true; }) << true << download
        << QByteArrayList{none, none, none, none, none, none} << downloaded << 0 << 0 << true;
    QTest::newRow("stop at word 2") << faultsWith([](Faults &f) { f.stopAtWord = 2; }) << true << download
                                    << QByteArrayList{kAck, kAck, kAck, none, none, none} << downloaded << 0
                                    << 0 << true;
    QTest::newRow("answer byte 0x15")
        << faultsWith([](Faults &f) { f.answerByte = 0x15; }) << true << download
        << QByteArrayList(5, QByteArray("\x15")) + QByteArrayList{none} << downloaded << 0 << 0 << true;
    QTest::newRow("06 followed by 00")
        << faultsWith([](Faults &f) { f.trailingByte = 0x00; }) << true << download
        << QByteArrayList(5, QByteArray("\x06\x00", 2)) + QByteArrayList{none} << downloaded << 0 << 0
        << true;
    QTest::newRow("bad check byte is counted, not answered")
        << Faults{} << true << QByteArrayList{kWakeUp, kBadCheck, kWord1234, kEndMarker}
        << QByteArrayList{kAck, none, kAck, none} << Words{0x1234} << 1 << 0 << true;
    QTest::newRow("stray byte before a frame is skipped")
        << Faults{} << true << QByteArrayList{kWakeUp, "\x55" + kWord1234, kEndMarker}
        << QByteArrayList{kAck, kAck, none} << Words{0x1234} << 0 << 1 << true;
    QTest::newRow("download without end marker")
        << Faults{} << true << QByteArrayList{kWakeUp, kWord1234} << QByteArrayList{kAck, kAck}
        << Words{0x1234} << 0 << 0 << false;
}

void TestSimulatedDevice::answers()
{
    QFETCH(Faults, faults);
    QFETCH(bool, hostSetsRaw);
    QFETCH(QByteArrayList, messages);
    QFETCH(QByteArrayList, answers);
    QFETCH(Words, words);
    QFETCH(int, badCheckBytes);
    QFETCH(int, skippedBytes);
    QFETCH(bool, endMarker);
    QCOMPARE(answers.size(), messages.size());

    SimulatedDevice device(faults);
    QVERIFY2(device.start(), device.lastError().c_str());
    TerminalEnd host;
    QVERIFY(host.open(device.devicePath(), hostSetsRaw));
    for (qsizetype i = 0; i < messages.size(); ++i) {
        QVERIFY(host.write(messages[i]));
        if (answers[i].isEmpty())
            continue;   // anything sent in error shows in the next answer or at the end
        int reads = 0;
        QCOMPARE(host.read(kAnswerTimeoutMs, int(answers[i].size()), &reads), answers[i]);
        QCOMPARE(reads, 1);   // an answer is written at once, trailing byte included
    }
    QCOMPARE(host.read(kQuietMs), QByteArray());

    QCOMPARE(device.waitForEndMarker(endMarker ? 1.0 : 0.0), endMarker);
    QCOMPARE(device.words(), words);
    QCOMPARE(bytesOf(device.transcript()), messages.join());
    QCOMPARE(bytesOf(device.sentBytes()), answers.join());
    const SimulatedDevice::Counters counters = device.counters();
    QCOMPARE(counters.badCheckBytes, badCheckBytes);
    QCOMPARE(counters.skippedBytes, skippedBytes);
    QCOMPARE(counters.framesReceived, int(words.size()));
    QCOMPARE(counters.handshakesSeen, 1);
}

void TestSimulatedDevice::answerTiming_data()
{
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<double>("earliest");   // seconds after sending

    // 104 bytes at 9600 baud take 108 ms, the answer byte one more.
    QTest::newRow("paced handshake after the preamble")
        << faultsWith([](Faults &f) { f.paced = true; }) << kWakeUp << 0.090;
    QTest::newRow("16 ms adapter latency")
        << faultsWith([](Faults &f) { f.answerLatency = 0.016; }) << kHandshake << 0.015;
    QTest::newRow("paced with 100 ms latency") << faultsWith([](Faults &f) {
        f.paced = true;
        f.answerLatency = 0.1;
    }) << kWakeUp << 0.190;
}

void TestSimulatedDevice::answerTiming()
{
    constexpr double kSlack = 0.5;   // loose: a busy machine only makes answers later
    QFETCH(Faults, faults);
    QFETCH(QByteArray, message);
    QFETCH(double, earliest);

    SimulatedDevice device(faults);
    QVERIFY2(device.start(), device.lastError().c_str());
    TerminalEnd host;
    QVERIFY(host.open(device.devicePath()));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(host.write(message));
    QCOMPARE(host.read(kAnswerTimeoutMs, 1), kAck);
    const double elapsed = double(timer.nsecsElapsed()) / 1e9;
    QVERIFY2(elapsed >= earliest, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < earliest + kSlack, qPrintable(QString::number(elapsed)));
}

// The host gives up waiting after 0.5 s and sends the frame again; the first
// answer still comes, late, and the device keeps both copies.
void TestSimulatedDevice::lateAnswerAndResentFrame()
{
    constexpr int kHostWaitMs = 500;
    Faults faults;
    faults.lateFrame = 1;
    SimulatedDevice device(faults);
    QVERIFY2(device.start(), device.lastError().c_str());
    TerminalEnd host;
    QVERIFY(host.open(device.devicePath()));
    QCOMPARE(exchange(host, kWakeUp), kAck);
    QCOMPARE(exchange(host, kWord1234), kAck);

    QElapsedTimer sinceFirstSend;
    sinceFirstSend.start();
    QVERIFY(host.write(kWord0));
    QCOMPARE(host.read(kHostWaitMs, 1), QByteArray());
    QCOMPARE(exchange(host, kWord0), kAck);   // the resend, answered at once
    const qint64 resendAnsweredMs = sinceFirstSend.elapsed();
    QCOMPARE(host.read(kAnswerTimeoutMs, 1), kAck);   // the late one
    const qint64 lateAnsweredMs = sinceFirstSend.elapsed();
    QVERIFY2(lateAnsweredMs >= 580, qPrintable(QString::number(lateAnsweredMs)));
    QVERIFY2(lateAnsweredMs - resendAnsweredMs >= 50, qPrintable(QString::number(resendAnsweredMs)));

    QVERIFY(host.write(kEndMarker));
    QVERIFY(device.waitForEndMarker(1.0));
    QCOMPARE(device.words(), (Words{0x1234, 0, 0}));
    QCOMPARE(device.counters().framesAnswered, 3);
}

void TestSimulatedDevice::hangUpThenPlugBackIn()
{
    Faults faults;
    faults.hangUpAtWord = 1;
    SimulatedDevice device(faults);
    QVERIFY2(device.start(), device.lastError().c_str());
    const std::string firstPath = device.devicePath();
    TerminalEnd host;
    QVERIFY(host.open(firstPath));
    QCOMPARE(exchange(host, kWakeUp), kAck);
    QCOMPARE(exchange(host, kWord1234), kAck);
    QVERIFY(host.write(kWord0));
    QVERIFY(host.waitForHangUp(kAnswerTimeoutMs));
    QVERIFY(device.hungUp());

    QElapsedTimer timer;
    timer.start();
    QVERIFY(!device.waitForEndMarker(5.0));   // the hang-up ends the wait
    QVERIFY(timer.elapsed() < kAnswerTimeoutMs);

    const double cpuBefore = processCpuSeconds();
    QTest::qSleep(kIdleMs);
    QVERIFY(processCpuSeconds() - cpuBefore < kIdleCpuSeconds);

    QVERIFY2(device.reopen(), device.lastError().c_str());
    QVERIFY(!device.hungUp());
    QVERIFY(device.devicePath() != firstPath);   // the old line is still held by the host
    TerminalEnd replugged;
    QVERIFY(replugged.open(device.devicePath()));
    QCOMPARE(exchange(replugged, kWakeUp), kAck);
    QCOMPARE(exchange(replugged, kWord1234), kAck);
    QCOMPARE(exchange(replugged, kWord0), kAck);   // the hang-up happens once
    QVERIFY(replugged.write(kEndMarker));
    QVERIFY(device.waitForEndMarker(1.0));

    const std::vector<SimulatedDevice::Session> sessions = device.sessions();
    QCOMPARE(sessions.size(), size_t(2));
    QCOMPARE(sessions[0].words, (Words{0x1234, 0}));
    QVERIFY(!sessions[0].endMarkerSeen);
    QCOMPARE(sessions[1].words, (Words{0x1234, 0}));
    QCOMPARE(device.counters().hangUps, 1);
}

void TestSimulatedDevice::sessions_data()
{
    QTest::addColumn<bool>("endFirst");      // the first download sends its end marker
    QTest::addColumn<bool>("reopenPort");    // the host closes and reopens its port in between
    QTest::addColumn<int>("skippedBytes");   // the preamble, when it comes in the middle of words

    QTest::newRow("handshake after the end marker") << true << false << 0;
    QTest::newRow("handshake in the middle of the words") << false << false << 100;
    QTest::newRow("host reopens its port between downloads") << true << true << 0;
    QTest::newRow("host reopens its port in mid-download") << false << true << 100;
}

void TestSimulatedDevice::sessions()
{
    QFETCH(bool, endFirst);
    QFETCH(bool, reopenPort);
    QFETCH(int, skippedBytes);

    SimulatedDevice device;
    QVERIFY2(device.start(), device.lastError().c_str());
    TerminalEnd host;
    QVERIFY(host.open(device.devicePath()));
    QCOMPARE(exchange(host, kWakeUp), kAck);
    QCOMPARE(exchange(host, kWord1234), kAck);
    QCOMPARE(exchange(host, kWord0), kAck);
    if (endFirst)
        QVERIFY(host.write(kEndMarker));
    if (reopenPort)
        QVERIFY(host.open(device.devicePath()));
    QCOMPARE(exchange(host, kWakeUp), kAck);
    QCOMPARE(exchange(host, kWordFFFF), kAck);

    const std::vector<SimulatedDevice::Session> sessions = device.sessions();
    QCOMPARE(sessions.size(), size_t(2));
    QCOMPARE(sessions[0].words, (Words{0x1234, 0}));
    QCOMPARE(sessions[0].endMarkerSeen, endFirst);
    QCOMPARE(sessions[1].words, (Words{65535}));
    QVERIFY(!sessions[1].endMarkerSeen);
    QCOMPARE(device.words(), (Words{65535}));
    const SimulatedDevice::Counters counters = device.counters();
    QCOMPARE(counters.handshakesSeen, 2);
    QCOMPARE(counters.handshakesAnswered, 2);
    QCOMPARE(counters.skippedBytes, skippedBytes);
}

// A pseudo-terminal whose device end nobody holds reports errors without end.
// The host closing its port between downloads must neither hang up the line
// nor set the simulator spinning on those errors.
void TestSimulatedDevice::hostClosingThePortLeavesTheLineUp()
{
    SimulatedDevice device;
    QVERIFY2(device.start(), device.lastError().c_str());
    TerminalEnd host;
    QVERIFY(host.open(device.devicePath()));
    QCOMPARE(exchange(host, kWakeUp), kAck);
    host.close();

    const double cpuBefore = processCpuSeconds();
    QTest::qSleep(kIdleMs);
    QVERIFY(processCpuSeconds() - cpuBefore < kIdleCpuSeconds);

    QVERIFY(host.open(device.devicePath()));
    QCOMPARE(exchange(host, kWord1234), kAck);
    QVERIFY(!device.hungUp());
    QCOMPARE(device.words(), (Words{0x1234}));
}

// Attached to a serial port (here the device end of a pseudo-terminal the
// test holds the other end of, and which nothing else holds raw, unlike a
// PtyPair's), the simulator sets the port raw itself: CR, LF, XON and XOFF
// pass both ways unchanged.
void TestSimulatedDevice::listensOnASerialPort()
{
    const Terminal::PseudoTerminal pty = Terminal::openPseudoTerminal();
    QVERIFY(pty.master >= 0);
    TerminalEnd host(pty.master);
    const std::string &path = pty.path;

    Faults faults;
    faults.trailingByte = 0x0A;
    SimulatedDevice device(faults);
    QVERIFY2(device.startOnDevice(path), device.lastError().c_str());
    QCOMPARE(device.devicePath(), path);
    const QByteArray answer("\x06\x0A", 2);
    QCOMPARE(exchange(host, kWakeUp, 2), answer);
    QCOMPARE(exchange(host, kWord0A0D, 2), answer);
    QCOMPARE(exchange(host, kWord1311, 2), answer);
    QVERIFY(host.write(kEndMarker));
    QVERIFY(device.waitForEndMarker(1.0));
    QCOMPARE(device.words(), (Words{0x0A0D, 0x1311}));
    QCOMPARE(bytesOf(device.transcript()), kWakeUp + kWord0A0D + kWord1311 + kEndMarker);
}

void TestSimulatedDevice::refusesWhatIsNoSerialPort_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("missing path") << QStringLiteral("/dev/kd7-no-such-port");
    QTest::newRow("not a terminal") << QStringLiteral("/dev/null");
    QTest::newRow("empty path") << QString();
}

void TestSimulatedDevice::refusesWhatIsNoSerialPort()
{
    QFETCH(QString, path);
    SimulatedDevice device;
    QVERIFY(!device.startOnDevice(path.toStdString()));
    QVERIFY(!device.lastError().empty());
    QVERIFY(!device.reopen());
}

void TestSimulatedDevice::commandLine_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArrayList>("answers");   // to the handshake and three frames

    const QByteArray none;
    QTest::newRow("well-behaved") << QStringList{} << QByteArrayList(4, kAck);
    QTest::newRow("answer byte in hex")
        << QStringList{"--answer-byte", "0x15"} << QByteArrayList(4, QByteArray("\x15"));
    QTest::newRow("trailing byte in decimal")
        << QStringList{"--trailing-byte", "10"} << QByteArrayList(4, QByteArray("\x06\x0A"));
    QTest::newRow("stop at word 1") << QStringList{"--stop-at", "1"}
                                    << QByteArrayList{kAck, kAck, none, none};
}

void TestSimulatedDevice::commandLine()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArrayList, answers);
    const QByteArrayList messages{kWakeUp, kWord1234, kWord0, kWordFFFF};

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString wordsPath = dir.filePath("words.txt");
    const QString transcriptPath = dir.filePath("transcript.bin");
    QProcess sim;
    sim.start(QStringLiteral(KD7SIM_PATH),
              options + QStringList{"--once", "--words", wordsPath, "--transcript", transcriptPath});
    QVERIFY(sim.waitForStarted(kProcessTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), kProcessTimeoutMs);
    const QByteArray path = sim.readLine().trimmed();

    TerminalEnd host;
    QVERIFY2(host.open(path.toStdString()), path.constData());
    for (qsizetype i = 0; i < messages.size(); ++i) {
        QVERIFY(host.write(messages[i]));
        if (!answers[i].isEmpty())
            QCOMPARE(host.read(kAnswerTimeoutMs, int(answers[i].size())), answers[i]);
    }
    QVERIFY(host.write(kEndMarker));
    QVERIFY(sim.waitForFinished(kProcessTimeoutMs));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);

    QFile words(wordsPath);
    QVERIFY(words.open(QIODevice::ReadOnly));
    QCOMPARE(words.readAll(), QByteArray("4660\n0\n65535\n"));
    QFile transcript(transcriptPath);
    QVERIFY(transcript.open(QIODevice::ReadOnly));
    QCOMPARE(transcript.readAll(), messages.join() + kEndMarker);
}

void TestSimulatedDevice::commandLineRefused_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("unknown option") << QStringList{"--bogus", "1"};
    QTest::newRow("value missing") << QStringList{"--stop-at"};
    QTest::newRow("word index not a number") << QStringList{"--stop-at", "two"};
    QTest::newRow("digits then letters") << QStringList{"--hang-up-at", "3x"};
    QTest::newRow("negative frame index") << QStringList{"--late-frame", "-1"};
    QTest::newRow("byte above 255") << QStringList{"--answer-byte", "256"};
    QTest::newRow("hex byte above 255") << QStringList{"--trailing-byte", "0x100"};
    QTest::newRow("bare 0x") << QStringList{"--answer-byte", "0x"};
    QTest::newRow("negative delay") << QStringList{"--late-by", "-0.5"};
    QTest::newRow("endless latency") << QStringList{"--latency-ms", "inf"};
    QTest::newRow("empty file name") << QStringList{"--words", ""};
    QTest::newRow("stray argument") << QStringList{"extra"};
    QTest::newRow("a refused value given twice") << QStringList{"--stop-at", "two", "--stop-at", "1"};
    QTest::newRow("delay past an hour") << QStringList{"--late-by", "3601"};
}

void TestSimulatedDevice::commandLineRefused()
{
    QFETCH(QStringList, arguments);
    QProcess sim;
    sim.start(QStringLiteral(KD7SIM_PATH), arguments);
    QVERIFY(sim.waitForFinished(kProcessTimeoutMs));
    QCOMPARE(sim.exitCode(), 2);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray());   // no line was opened
    const QByteArray error = sim.readAllStandardError();
    QVERIFY2(error.startsWith("usage: kd7sim"), error.constData());
    QCOMPARE(error.count('\n'), 1);
}

void TestSimulatedDevice::helpAndVersion_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("--help lists the options") << "--help" << QByteArray("--answer-byte");
    QTest::newRow("--version") << "--version" << QByteArray("kd7sim 1.0.0");
}

void TestSimulatedDevice::helpAndVersion()
{
    QFETCH(QString, option);
    QProcess sim;
    sim.start(QStringLiteral(KD7SIM_PATH), {option});
    QVERIFY(sim.waitForFinished(kProcessTimeoutMs));
    QCOMPARE(sim.exitCode(), 0);
    const QByteArray said = sim.readAllStandardOutput();
    QFETCH(QByteArray, says);
    QVERIFY2(said.contains(says), said.constData());
}

QTEST_GUILESS_MAIN(TestSimulatedDevice)
#include "tst_simulateddevice.moc"
