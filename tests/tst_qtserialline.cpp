#include "serial/linesettings.h"
#include "serial/lowlatency.h"
#include "serial/module1.h"
#include "serial/portcontroller.h"
#include "serial/portmapping.h"
#include "serial/qtserialline.h"
#include "serial/receivestate.h"
#include "tests/support/ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A port controller whose port 1 is the pseudo-terminal, and 2 names nothing.
struct PortOnPty {
    PtyPair device;
    QtSerialLine line{portOneAt([this] { return device.devicePath(); })};
    QStringList messages;
    PortController ports{line, [this](const QString &m) { messages << m; }};
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
    void reopeningAppliesSettingsAfresh();
    void hangUpIsALineFailure();
    void waitingDoesNotSpin();
    void outputKeepsOrderWhenTheDriverIsFull();
    void settingsText_data();
    void settingsText();
    void portOrder_data();
    void portOrder();
    void lowLatencyIsGivenBack_data();
    void lowLatencyIsGivenBack();
};

void TestQtSerialLine::opensAndCarriesBytesBothWays()
{
    PortOnPty rig;
    QVERIFY(rig.device.isValid());
    rig.ports.Openport();
    QVERIFY(rig.messages.isEmpty());
    QVERIFY(rig.line.PortOpen());

    rig.line.Output(QByteArray("\x02KD7"));
    QCOMPARE(rig.device.read(500), QByteArray("\x02KD7"));
    QCOMPARE(rig.line.OutBufferCount(), 0);
    // A pseudo-terminal has no transmitter to report on: the line says so at
    // once instead of waiting in the driver.
    QCOMPARE(rig.line.transmitter(), SerialLine::Transmitter::Unknown);

    rig.device.write(QByteArray("\x15\x06", 2));
    rig.line.waitForInput(500);
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
    QTest::newRow("port number 0") << 0 << "";
    QTest::newRow("no such port") << 2 << "";
    QTest::newRow("held by another program (lock)") << 1 << "flock";
    QTest::newRow("held by another program (Qt)") << 1 << "qt";
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
    }
    rig.ports.Openport();
    QCOMPARE(rig.messages, QStringList{QStringLiteral("串口不能打开! ")});
    QVERIFY(!rig.line.PortOpen());
    if (lockFd >= 0)
        ::close(lockFd);
    other.close();
    if (!holder.isEmpty()) {   // once the other program lets go, the port opens
        rig.ports.Openport();
        QVERIFY(rig.line.PortOpen());
    }
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
        rig.line.Output("\x02\x00\x00\x00");
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

void TestQtSerialLine::settingsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::newRow("the tool's own") << "9600,n,8,1" << true << 9600;
    QTest::newRow("upper case parity") << "19200,E,7,2" << true << 19200;
    QTest::newRow("missing field") << "9600,n,8" << false << 0;
    QTest::newRow("bad parity") << "9600,x,8,1" << false << 0;
    QTest::newRow("bad data bits") << "9600,n,9,1" << false << 0;
    QTest::newRow("bad speed") << "fast,n,8,1" << false << 0;
}

void TestQtSerialLine::settingsText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto settings = LineSettings::parse(text);
    QCOMPARE(settings.has_value(), valid);
    if (valid)
        QTEST(settings->baudRate, "baud");
}

void TestQtSerialLine::portOrder_data()
{
    QTest::addColumn<QStringList>("locations");
    QTest::addColumn<int>("portNo");
    QTest::addColumn<QString>("opened");
    const QStringList found{"/dev/ttyUSB12", "/dev/ttyS10", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyS9"};
    QTest::newRow("ttyS2 before ttyS10") << found << 1 << "/dev/ttyS2";
    QTest::newRow("ttyS9 before ttyS10") << found << 2 << "/dev/ttyS9";
    QTest::newRow("ttyS10 before ttyUSB1") << found << 3 << "/dev/ttyS10";
    QTest::newRow("ttyUSB1 before ttyUSB12") << found << 4 << "/dev/ttyUSB1";
    QTest::newRow("port N of N is the last") << found << 5 << "/dev/ttyUSB12";
    QTest::newRow("port N + 1 names none") << found << 6 << QString();
    QTest::newRow("port 0 names none") << found << 0 << QString();
    QTest::newRow("no ports") << QStringList() << 1 << QString();
    QTest::newRow("COM3 before COM20") << QStringList{"COM20", "COM3"} << 1 << "COM3";
}

void TestQtSerialLine::portOrder()
{
    QFETCH(QStringList, locations);
    QFETCH(int, portNo);
    QTEST(portAmong(locations, portNo), "opened");
}

// A driver's low-latency mode: -1 where the driver has none, else 0 or 1.
void TestQtSerialLine::lowLatencyIsGivenBack_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<bool>("refuses");
    QTest::addColumn<int>("whileOpen");
    QTest::addColumn<int>("afterClose");
    QTest::addColumn<int>("switches");
    QTest::newRow("off: on while open, off again") << 0 << false << 1 << 0 << 2;
    QTest::newRow("already on: left alone") << 1 << false << 1 << 1 << 0;
    QTest::newRow("driver without the mode") << -1 << false << -1 << -1 << 0;
    QTest::newRow("driver refuses: nothing to give back") << 0 << true << 0 << 0 << 1;
}

void TestQtSerialLine::lowLatencyIsGivenBack()
{
    QFETCH(int, before);
    QFETCH(bool, refuses);
    int mode = before;
    int switches = 0;
    const LowLatency::Driver driver{
        [&]() -> std::optional<bool> { return mode < 0 ? std::nullopt : std::optional<bool>(mode == 1); },
        [&](bool on) {
            ++switches;
            if (refuses || mode < 0)
                return false;
            mode = on ? 1 : 0;
            return true;
        }};
    LowLatency lowLatency;
    lowLatency.take(driver);
    QTEST(mode, "whileOpen");
    lowLatency.giveBack(driver);
    QTEST(mode, "afterClose");
    QTEST(switches, "switches");
}

QTEST_GUILESS_MAIN(TestQtSerialLine)
#include "tst_qtserialline.moc"
