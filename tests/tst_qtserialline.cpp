#include "download/downloadprocedure.h"
#include "kd7sim/simulateddevice.h"
#include "serial/module1.h"
#include "serial/portcontroller.h"
#include "serial/qtserialline.h"
#include "serial/receivestate.h"
#include "systemports/portmapping.h"
#include "tests/support/devicebytes.h"
#include "tests/support/ptypair.h"
#include "tests/support/scaledclock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SerialLine::Refusal)

namespace {

// A port controller whose port 1 is the pseudo-terminal, and 2 names nothing.
struct PortOnPty {
    PtyPair device;
    QString port1;   // where port 1 leads instead of the pseudo-terminal, if set
    QtSerialLine line{portOneAt([this] { return port1.isEmpty() ? device.devicePath() : port1; })};
    QStringList messages;
    PortController ports{line, [this](const QString &m, const QString &) { messages << m; }};
};

}   // namespace

class TestQtSerialLine : public QObject {
    Q_OBJECT

private slots:
    void init() { PortNo = 1; }
    void opensAndCarriesBytesBothWays();
    void receiveEventWaitsForTheEventLoop();
    void portsThatCannotBeOpened_data();
    void portsThatCannotBeOpened();
    void settingsThatDoNotReadAreRefused();
    void reopeningAppliesSettingsAfresh();
    void hangUpIsALineFailure();
    void waitingDoesNotSpin();
    void outputKeepsOrderWhenTheDriverIsFull();
    void closeWaitsForTheTransmitter_data();
    void closeWaitsForTheTransmitter();
};

void TestQtSerialLine::opensAndCarriesBytesBothWays()
{
    PortOnPty rig;
    QVERIFY(rig.device.isValid());
    rig.ports.Openport();
    QVERIFY(rig.messages.isEmpty());
    QVERIFY(rig.line.PortOpen());

    // A stray byte from the device waits in the driver while a message
    // leaves: it is input, not output still on its way.
    rig.device.write("\x15");
    QCOMPARE(rig.device.unreadByHost(500), 1);
    rig.line.Output(DeviceBytes::handshake());
    QCOMPARE(rig.device.read(500), DeviceBytes::handshake());
    QCOMPARE(rig.line.OutBufferCount(), 0);
    // A pseudo-terminal has no transmitter to report on: the line says so at
    // once instead of waiting in the driver.
    QCOMPARE(rig.line.transmitter(), SerialLine::Transmitter::Unknown);
    QCOMPARE(rig.line.InBufferCount(), 1);

    rig.device.write(QByteArray(1, DeviceBytes::kAck));
    QTRY_COMPARE_WITH_TIMEOUT(rig.line.InBufferCount(), 2, 500);
    QCOMPARE(rig.line.Input(), QByteArray("\x15"));   // one byte a read
    ReceiveState rx;
    drainInput(rig.line, rx);
    QCOMPARE(rx.RxByte, 6);
    QCOMPARE(rig.line.InBufferCount(), 0);

    rig.ports.Closeport();
    QVERIFY(!rig.line.PortOpen());
    rig.ports.Closeport();   // closing a closed port does nothing
}

void TestQtSerialLine::receiveEventWaitsForTheEventLoop()
{
    PortOnPty rig;
    rig.ports.Openport();
    QSignalSpy events(&rig.line, &SerialLine::OnComm);
    rig.device.write("\x06");
    rig.line.waitForInput(500);   // an acknowledgement wait sees the byte...
    QCOMPARE(rig.line.InBufferCount(), 1);
    QCOMPARE(events.count(), 0);   // ...but the event waits for the event loop
    QTRY_COMPARE_WITH_TIMEOUT(events.count(), 1, 1000);
    QCOMPARE(rig.line.CommEvent(), int(SerialLine::comEvReceive));
    QCOMPARE(rig.line.InBufferCount(), 1);   // the event itself reads nothing
}

void TestQtSerialLine::portsThatCannotBeOpened_data()
{
    QTest::addColumn<int>("portNo");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<SerialLine::Refusal>("refusal");
    using R = SerialLine::Refusal;
    QTest::newRow("port number 0") << 0 << "" << R::NoSuchPort;
    QTest::newRow("no such port") << 2 << "" << R::NoSuchPort;
    QTest::newRow("device gone") << 1 << "gone" << R::NoSuchPort;
    QTest::newRow("held by another program (lock)") << 1 << "flock" << R::InUse;
    QTest::newRow("held by another program (Qt)") << 1 << "qt" << R::InUse;
}

void TestQtSerialLine::portsThatCannotBeOpened()
{
    QFETCH(int, portNo);
    QFETCH(QString, holder);
    PortOnPty rig;
    PortNo = qint16(portNo);
    QSerialPort other(rig.device.devicePath());
    int lockFd = -1;
    if (holder == "flock") {
        lockFd = ::open(rig.device.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(lockFd >= 0 && ::flock(lockFd, LOCK_EX) == 0);
    } else if (holder == "qt") {
        QVERIFY(other.open(QIODevice::ReadWrite));
    } else if (holder == "gone") {
        rig.port1 = QStringLiteral("/dev/kd7-no-such-device");
    }
    rig.ports.Openport();
    QCOMPARE(rig.messages, QStringList{QStringLiteral("串口不能打开! ")});
    QVERIFY(!rig.line.PortOpen());
    QTEST(rig.line.refusal(), "refusal");
    if (lockFd >= 0)
        ::close(lockFd);
    other.close();
    if (holder == "flock" || holder == "qt") {   // once the other program lets go, the port opens
        rig.ports.Openport();
        QVERIFY(rig.line.PortOpen());
        QCOMPARE(rig.line.refusal(), SerialLine::Refusal::None);
    }
}

void TestQtSerialLine::settingsThatDoNotReadAreRefused()
{
    PortOnPty rig;
    rig.line.setSettings(QStringLiteral("9600,q,8,1"));
    QVERIFY(!rig.line.setPortOpen(true));
    QCOMPARE(rig.line.refusal(), SerialLine::Refusal::SettingsRefused);
    QVERIFY(!rig.line.PortOpen());
}

void TestQtSerialLine::reopeningAppliesSettingsAfresh()
{
    PortOnPty rig;
    rig.ports.Openport();
    rig.device.write("\x15\x15");
    QTRY_VERIFY_WITH_TIMEOUT(rig.line.InBufferCount() > 0, 500);
    rig.ports.Openport();   // closed and opened again, received bytes discarded
    QVERIFY(rig.line.PortOpen());
    QCOMPARE(rig.line.InBufferCount(), 0);
    QCOMPARE(rig.line.InputLen(), 1);
    QCOMPARE(rig.line.Settings(), QStringLiteral("9600,n,8,1"));

    rig.ports.Closeport();
    rig.device.write("\x06");   // a late answer that arrives while the port is closed
    QTest::qWait(20);
    rig.ports.Openport();
    QCOMPARE(rig.line.InBufferCount(), 0);
}

void TestQtSerialLine::hangUpIsALineFailure()
{
    PortOnPty rig;
    rig.ports.Openport();
    QVERIFY(!rig.line.lineFailed());
    rig.device.hangUp();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 5 && !rig.line.lineFailed(); ++i) {
        rig.line.Output(DeviceBytes::frame(0));
        rig.line.waitForInput(100);
        rig.line.InBufferCount();
    }
    QVERIFY(rig.line.lineFailed());
    QVERIFY(timer.elapsed() < 1000);
    rig.ports.Closeport();
    QVERIFY(!rig.line.PortOpen());
}

void TestQtSerialLine::waitingDoesNotSpin()
{
    PortOnPty rig;
    rig.ports.Openport();
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpuStart = std::clock();
    rig.line.waitForInput(200);
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    QVERIFY(wall.elapsed() >= 150);
    QVERIFY2(cpu < 0.05, qPrintable(QString::number(cpu)));
}

// More than the driver holds at once: what it cannot take now waits in the
// port's own buffer, and nothing overtakes it.
void TestQtSerialLine::outputKeepsOrderWhenTheDriverIsFull()
{
    PortOnPty rig;
    rig.ports.Openport();
    QByteArray sent;
    QByteArray received;
    for (int i = 0; i < 40000; ++i) {
        const QByteArray chunk = QByteArray::number(i).rightJustified(6, '0') + "\n";
        rig.line.Output(chunk);
        sent += chunk;
        if (i >= 20000 && i % 1000 == 999)
            received += rig.device.read(1);   // the driver gets room while older bytes still wait
    }
    QElapsedTimer timer;
    timer.start();
    while (received.size() < sent.size() && timer.elapsed() < 5000) {
        QCoreApplication::processEvents();
        received += rig.device.read(5);
    }
    QCOMPARE(received.size(), sent.size());
    QVERIFY(received == sent);
    QCOMPARE(rig.line.OutBufferCount(), 0);
}

// A download to the simulated device whose driver reports its transmitter
// busy for a while after the end marker (as a UART does while its FIFO
// empties): the port closes once the report says empty, and a report that
// never does is given up at the one-second bound. The clock runs four times
// faster than real time.
void TestQtSerialLine::closeWaitsForTheTransmitter_data()
{
    QTest::addColumn<double>("busyFor");   // clock seconds; negative: for ever
    QTest::addColumn<double>("closesAfter");
    QTest::newRow("busy 0.3 s after the end marker") << 0.3 << 0.3;
    QTest::newRow("busy for ever: given up at 1 s") << -1.0 << DownloadProcedure::kFinalDrain;
}

void TestQtSerialLine::closeWaitsForTheTransmitter()
{
    QFETCH(double, busyFor);
    SimulatedDevice device;
    QVERIFY(device.start());
    ScaledClock clock(4);
    QtSerialLine line(portOneAt([&] { return QString::fromStdString(device.devicePath()); }));
    double firstAsked = -1;
    line.setTransmitterReport([&](NativePort::NativeHandle) -> std::optional<bool> {
        if (firstAsked < 0)
            firstAsked = clock.now();
        return busyFor >= 0 && clock.now() - firstAsked >= busyFor;
    });
    ReceiveState rx;
    QStringList messages;
    PortController ports(line, [&](const QString &text, const QString &) { messages << text; });
    DownloadProcedure::Hooks hooks;
    hooks.Openport = [&] { ports.Openport(); };
    hooks.Closeport = [&] { ports.Closeport(); };
    hooks.processEvents = [] { QCoreApplication::processEvents(); };
    DownloadProcedure procedure(line, rx, clock, hooks);
    ProgramImage image;
    image.load({1, 2});
    QCOMPARE(procedure.run(image).label4Text(), QStringLiteral("3"));
    QVERIFY(messages.isEmpty());
    QVERIFY(firstAsked >= 0);
    QFETCH(double, closesAfter);
    const double closedAfter = clock.now() - firstAsked;
    QVERIFY2(closedAfter >= closesAfter && closedAfter < closesAfter + 0.2,
             qPrintable(QString::number(closedAfter)));
}

QTEST_GUILESS_MAIN(TestQtSerialLine)
#include "tst_qtserialline.moc"
