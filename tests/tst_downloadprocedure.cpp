#include "download/downloadprocedure.h"
#include "serial/module1.h"
#include "serial/portcontroller.h"
#include "serial/receivehandler.h"
#include "tests/support/devicebytes.h"
#include "tests/support/fakeclock.h"
#include "tests/support/scriptedline.h"

#include <QTest>

Q_DECLARE_METATYPE(AnswerPolicy)
Q_DECLARE_METATYPE(DownloadOutcome::End)
Q_DECLARE_METATYPE(ScriptedLine::Failure)

namespace {

std::vector<quint16> countingWords(int count)
{
    std::vector<quint16> words(count);
    for (int i = 0; i < count; ++i)
        words[i] = quint16(i * 7 + 1);
    return words;
}

// One download against a scripted device, with the port opened and closed
// the way the main window does it.
struct Rig {
    FakeClock clock;
    ScriptedLine line;
    ReceiveState rx;
    QStringList messages;
    PortController ports{line, [this](const QString &text, const QString &) { messages << text; }};
    std::function<void()> onEvents = [] {};
    std::function<void()> onLook = [] {};   // each look at the input that processes no events
    int openportCalls = 0;
    int closeportCalls = 0;
    DownloadProcedure procedure{line, rx, clock, hooks()};

    DownloadProcedure::Hooks hooks()
    {
        DownloadProcedure::Hooks h;
        h.Openport = [this] {
            ++openportCalls;
            ports.Openport();
        };
        h.Closeport = [this] {
            ++closeportCalls;
            ports.Closeport();
        };
        h.processEvents = [this] { onEvents(); };
        h.showResponsive = [this] { onLook(); };
        return h;
    }

    explicit Rig(AnswerPolicy policy) : line(clock, std::move(policy)) {}

    DownloadOutcome download(int wordCount)
    {
        ProgramImage image;
        image.load(countingWords(wordCount));
        return procedure.run(image);
    }
};

}   // namespace

class TestDownloadProcedure : public QObject {
    Q_OBJECT

private slots:
    void init() { PortNo = 1; }
    void outcomes_data();
    void outcomes();
    void workedExampleBytes();
    void silentDeviceRetriesAndWaits();
    void answerDelay_data();
    void answerDelay();
    void acknowledgementDuringDrainIsKept();
    void fullImageSendsZeroLastFrame();
    void lineFailureEndsAtOnce_data();
    void lineFailureEndsAtOnce();
    void closeWaitsForTheLastMessage_data();
    void closeWaitsForTheLastMessage();
    void stuckLineHoldsTheCloseOneSecond();
    void unopenablePortEndsBeforeWriting();
    void abortEndsAtAFrameBoundary_data();
    void abortEndsAtAFrameBoundary();
    void frameBytes_data();
    void frameBytes();
};

void TestDownloadProcedure::outcomes_data()
{
    QTest::addColumn<AnswerPolicy>("device");
    QTest::addColumn<int>("wordCount");
    QTest::addColumn<DownloadOutcome::End>("end");
    QTest::addColumn<QString>("label4");
    QTest::addColumn<int>("handshakes");
    QTest::addColumn<int>("frames");

    using E = DownloadOutcome::End;
    QTest::newRow("no words: no data")
        << Devices::answersEverything() << 0 << E::NoData << "无数据!" << 0 << 0;
    QTest::newRow("one word counts as no data")
        << Devices::answersEverything() << 1 << E::NoData << "无数据!" << 0 << 0;
    QTest::newRow("two words: three frames")
        << Devices::answersEverything() << 2 << E::Finished << "3" << 1 << 3;
    QTest::newRow("all answered") << Devices::answersEverything() << 50 << E::Finished << "51" << 1 << 51;
    QTest::newRow("silent device") << Devices::silent() << 5 << E::GaveUp << "0" << 10 << 0;
    QTest::newRow("stops at word 0") << Devices::stopsAtFrame(0) << 8 << E::GaveUp << "0" << 1 << 10;
    QTest::newRow("stops at word 5") << Devices::stopsAtFrame(5) << 8 << E::GaveUp << "5" << 1 << 15;
    QTest::newRow("stops at the extra last frame")
        << Devices::stopsAtFrame(8) << 8 << E::GaveUp << "8" << 1 << 18;
    QTest::newRow("0x15 is ignored") << Devices::answersWith("\x15") << 4 << E::GaveUp << "0" << 10 << 0;
    QTest::newRow("06 then 00 is not an acknowledgement")
        << Devices::answersWith(QByteArray("\x06\x00", 2)) << 4 << E::GaveUp << "0" << 10 << 0;
    QTest::newRow("00 then 06 is an acknowledgement")
        << Devices::answersWith(QByteArray("\x00\x06", 2)) << 4 << E::Finished << "5" << 1 << 5;
}

void TestDownloadProcedure::outcomes()
{
    QFETCH(AnswerPolicy, device);
    QFETCH(int, wordCount);
    Rig rig(device);
    rig.line.secondsPerByte = DownloadProcedure::kSecondsPerByte;   // bytes take time to leave
    const DownloadOutcome outcome = rig.download(wordCount);

    QTEST(outcome.end, "end");
    QTEST(outcome.label4Text(), "label4");
    QTEST(rig.line.count(HostMessage::Handshake), "handshakes");
    QTEST(rig.line.count(HostMessage::WordFrame), "frames");
    QCOMPARE(rig.closeportCalls, 1);
    QVERIFY(!rig.line.PortOpen());
    QCOMPARE(rig.line.closesWhileSending, 0);   // the last bytes left before the port closed
    QVERIFY(rig.messages.isEmpty());
    const bool finished = outcome.end == DownloadOutcome::End::Finished;
    QCOMPARE(rig.line.count(HostMessage::EndMarker), finished ? 1 : 0);
    if (finished)
        QCOMPARE(rig.line.allWritten().right(4), DeviceBytes::endMarker());
    if (outcome.end == DownloadOutcome::End::NoData) {
        QCOMPARE(rig.openportCalls, 0);
        QVERIFY(rig.line.writes.isEmpty());
    }
}

void TestDownloadProcedure::workedExampleBytes()
{
    Rig rig(Devices::answersEverything());
    ProgramImage image;
    image.load({1, 2});
    QCOMPARE(rig.procedure.run(image).label4Text(), QStringLiteral("3"));

    const QByteArray frames("\x02\x01\x00\x01"
                            "\x02\x02\x00\x02"
                            "\x02\x00\x00\x00",
                            12);
    const QByteArray expected = DeviceBytes::wakeUp() + frames + DeviceBytes::endMarker();
    QCOMPARE(rig.line.allWritten().toHex(' '), expected.toHex(' '));
}

void TestDownloadProcedure::silentDeviceRetriesAndWaits()
{
    Rig rig(Devices::silent());
    const double start = rig.clock.now();
    rig.download(3);
    QCOMPARE(rig.line.count(HostMessage::Preamble), 11);
    QCOMPARE(rig.line.count(HostMessage::Handshake), 10);
    QVERIFY(rig.line.writes.last() == DeviceBytes::preamble());   // the eleventh preamble ends it
    QCOMPARE(qRound((rig.clock.now() - start) * 10), 50);         // ten half-second waits
}

void TestDownloadProcedure::answerDelay_data()
{
    QTest::addColumn<double>("delay");
    QTest::addColumn<int>("frames");
    QTest::newRow("0.49 s: in time") << 0.49 << 4;
    QTest::newRow("exactly 0.5 s: too late, sent again") << 0.5 << 5;
    QTest::newRow("0.6 s: too late, sent again") << 0.6 << 5;
}

void TestDownloadProcedure::answerDelay()
{
    QFETCH(double, delay);
    Rig rig(Devices::answersFrameAfter(1, delay));
    QCOMPARE(rig.download(3).label4Text(), QStringLiteral("4"));
    const QList<QByteArray> frames = rig.line.frames();
    QTEST(int(frames.size()), "frames");
    if (frames.size() == 5)
        QCOMPARE(frames.at(1), frames.at(2));   // the resend is the same frame
}

void TestDownloadProcedure::acknowledgementDuringDrainIsKept()
{
    Rig rig(Devices::answersEverything());
    rig.line.drainLooks = 2;   // the answer is already waiting while the frame drains
    int eventsRun = 0;
    rig.onEvents = [&] {
        ++eventsRun;
        ReceiveHandler::MSComm1_OnComm(rig.line, rig.rx, rig.procedure.running());
    };
    QCOMPARE(rig.download(6).label4Text(), QStringLiteral("7"));
    QCOMPARE(rig.line.frames().size(), 7);   // no frame was sent twice
    QVERIFY(eventsRun >= 7 * 3);
}

void TestDownloadProcedure::fullImageSendsZeroLastFrame()
{
    Rig rig(Devices::answersEverything());
    ProgramImage image;
    image.load(std::vector<quint16>(ProgramImage::kSlots, 0xBEEF));
    QCOMPARE(rig.procedure.run(image).label4Text(), QStringLiteral("32769"));
    const QList<QByteArray> frames = rig.line.frames();
    QCOMPARE(frames.size(), 32769);
    QCOMPARE(frames.at(32767), DeviceBytes::frame(0xBEEF));
    QCOMPARE(frames.last(), DeviceBytes::frame(0));
}

void TestDownloadProcedure::lineFailureEndsAtOnce_data()
{
    using Failure = ScriptedLine::Failure;
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("frames");   // the failing one included
    QTest::addColumn<QString>("label4");
    QTest::newRow("as the frame is written") << Failure{HostMessage::WordFrame, 3, false} << 4 << "3";
    QTest::newRow("after it left, while its answer is awaited")
        << Failure{HostMessage::WordFrame, 3, true} << 4 << "3";
    QTest::newRow("as the handshake is written") << Failure{HostMessage::Handshake, 0, false} << 0 << "0";
    QTest::newRow("while the handshake's answer is awaited")
        << Failure{HostMessage::Handshake, 0, true} << 0 << "0";
    QTest::newRow("as the end marker is written") << Failure{HostMessage::EndMarker, 0, false} << 11 << "11";
    QTest::newRow("while the end marker leaves") << Failure{HostMessage::EndMarker, 0, true} << 11 << "11";
}

// A dead line ends the download at once: nothing is sent again, no retry is
// waited out, and the close does not wait for bytes that will never leave.
void TestDownloadProcedure::lineFailureEndsAtOnce()
{
    constexpr double kAtOnce = 0.005;
    QFETCH(ScriptedLine::Failure, failure);
    Rig rig(Devices::answersEverything());
    rig.line.failure = failure;
    rig.line.secondsPerByte = DownloadProcedure::kSecondsPerByte;   // the line fails with bytes on their way
    const DownloadOutcome outcome = rig.download(10);
    const bool atEndMarker = failure.message == HostMessage::EndMarker;   // Label4 keeps the whole count
    QCOMPARE(outcome.end,
             atEndMarker ? DownloadOutcome::End::EndMarkerFailed : DownloadOutcome::End::LineFailed);
    QCOMPARE(outcome.handshakeAnswered, failure.message != HostMessage::Handshake);
    QTEST(outcome.label4Text(), "label4");
    QTEST(int(rig.line.frames().size()), "frames");
    QCOMPARE(rig.line.count(HostMessage::Handshake), 1);
    const double endedAfter = rig.clock.now() - rig.line.failedAt;
    QVERIFY2(endedAfter < kAtOnce, qPrintable(QString::number(endedAfter)));
    QVERIFY(!rig.line.PortOpen());
}

// The port closes once the last message has left the line: as soon as the
// driver reports its hardware empty, or, where it cannot tell (cdc_acm,
// ch341, cp210x, pl2303), once the message's own time on the line has passed
// after the driver's queue emptied.
void TestDownloadProcedure::closeWaitsForTheLastMessage_data()
{
    QTest::addColumn<AnswerPolicy>("device");
    QTest::addColumn<bool>("driverTells");
    QTest::addColumn<int>("lastMessageBytes");
    QTest::newRow("end marker, driver tells") << Devices::answersEverything() << true << 4;
    QTest::newRow("end marker, driver cannot tell") << Devices::answersEverything() << false << 4;
    QTest::newRow("11th preamble, driver tells") << Devices::silent() << true << 100;
    QTest::newRow("11th preamble, driver cannot tell") << Devices::silent() << false << 100;
}

void TestDownloadProcedure::closeWaitsForTheLastMessage()
{
    QFETCH(AnswerPolicy, device);
    QFETCH(int, lastMessageBytes);
    Rig rig(device);
    rig.line.secondsPerByte = DownloadProcedure::kSecondsPerByte;
    QFETCH(bool, driverTells);
    rig.line.reportsTransmitter = driverTells;
    rig.download(3);
    QCOMPARE(rig.line.writes.last().size(), lastMessageBytes);
    QCOMPARE(rig.line.closesWhileSending, 0);
    const double onTheLine = lastMessageBytes * DownloadProcedure::kSecondsPerByte;
    const double closedAfter = rig.clock.now() - rig.line.lastWriteAt;
    QVERIFY2(closedAfter >= onTheLine - 1e-9 && closedAfter <= onTheLine + DownloadProcedure::kSecondsPerByte,
             qPrintable(QString::number(closedAfter)));
}

void TestDownloadProcedure::stuckLineHoldsTheCloseOneSecond()
{
    Rig rig(Devices::answersEverything());
    rig.onEvents = [&] {
        if (rig.line.frames().size() == 3)
            rig.line.secondsPerByte = 10;   // the end marker would need 40 s
    };
    const double start = rig.clock.now();
    QCOMPARE(rig.download(2).label4Text(), QStringLiteral("3"));
    QCOMPARE(qRound((rig.clock.now() - start) * 10), 10);
    QCOMPARE(rig.line.discardsWhileSending, 1);   // so that the close does not wait for it in the driver
    QCOMPARE(rig.line.closesWhileSending, 0);
}

void TestDownloadProcedure::unopenablePortEndsBeforeWriting()
{
    Rig rig(Devices::answersEverything());
    rig.line.openable = false;
    const DownloadOutcome outcome = rig.download(4);
    QCOMPARE(outcome.end, DownloadOutcome::End::PortNotOpened);
    QCOMPARE(outcome.label4Text(), QStringLiteral("0"));
    QVERIFY(rig.line.writes.isEmpty());
    QCOMPARE(rig.messages, QStringList{QStringLiteral("串口不能打开! ")});
    QCOMPARE(rig.closeportCalls, 1);
}

// Exit in the window (at a look at events), or an interrupt during a wait
// for an answer: nothing is written after it, the port closes once the last
// frame has left, and a silent device's wait ends at once, not seconds later.
void TestDownloadProcedure::abortEndsAtAFrameBoundary_data()
{
    QTest::addColumn<AnswerPolicy>("device");
    QTest::addColumn<bool>("whileAwaitingAnswer");
    QTest::addColumn<int>("frames");
    QTest::newRow("exit while the second frame leaves") << Devices::answersEverything() << false << 2;
    QTest::newRow("interrupt during a silent device's handshake") << Devices::silent() << true << 0;
    QTest::newRow("interrupt while word 1 awaits its answer") << Devices::stopsAtFrame(1) << true << 2;
}

void TestDownloadProcedure::abortEndsAtAFrameBoundary()
{
    QFETCH(AnswerPolicy, device);
    QFETCH(bool, whileAwaitingAnswer);
    QFETCH(int, frames);
    Rig rig(device);
    rig.line.secondsPerByte = DownloadProcedure::kSecondsPerByte;
    double abortedAt = 0;
    (whileAwaitingAnswer ? rig.onLook : rig.onEvents) = [&] {
        if (rig.line.frames().size() == frames && abortedAt == 0) {
            abortedAt = rig.clock.now();
            rig.procedure.abort();
        }
    };
    QCOMPARE(rig.download(10).end, DownloadOutcome::End::Aborted);
    QCOMPARE(rig.line.frames().size(), frames);
    QCOMPARE(rig.line.count(HostMessage::Handshake), 1);
    QCOMPARE(rig.line.count(HostMessage::EndMarker), 0);
    QCOMPARE(rig.line.closesWhileSending, 0);   // the port closed once the frame had left
    QVERIFY(!rig.line.PortOpen());
    QVERIFY(rig.clock.now() - abortedAt < DownloadProcedure::kAckWait);
}

void TestDownloadProcedure::frameBytes_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("0x1234") << 0x1234 << QByteArray("\x02\x34\x12\x26");
    QTest::newRow("0") << 0 << QByteArray("\x02\x00\x00\x00", 4);
    QTest::newRow("65535") << 65535 << QByteArray("\x02\xFF\xFF\x00", 4);
    QTest::newRow("0x00FF") << 0x00FF << QByteArray("\x02\xFF\x00\xFF", 4);
    QTest::newRow("0x0100") << 0x0100 << QByteArray("\x02\x00\x01\x01", 4);
}

void TestDownloadProcedure::frameBytes()
{
    QFETCH(int, word);
    QTEST(WireProtocol::bytes(WireProtocol::wordFrame(quint16(word))), "frame");
    QTEST(DeviceBytes::frame(quint16(word)), "frame");   // the tests' own reading agrees
}

QTEST_GUILESS_MAIN(TestDownloadProcedure)
#include "tst_downloadprocedure.moc"
