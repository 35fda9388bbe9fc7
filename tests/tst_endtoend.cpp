// The real window downloading through a real serial line to the simulated
// device: the bytes on the wire, and a device unplugged mid-download.
#include "serial/module1.h"
#include "tests/support/windowonline.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init() { PortNo = 1; }
    void workedExampleOnTheWire();
    void deviceUnpluggedAndBack();
};

void TestEndToEnd::workedExampleOnTheWire()
{
    WindowOnLine line;
    line.load({1, 2});
    QCOMPARE(line.download(), QStringLiteral("3"));
    QVERIFY(line.device.waitForEndMarker(2.0));
    const QByteArray expected = QByteArray(100, char(0xAA)) + QByteArray("\x02KD7")
        + QByteArray("\x02\x01\x00\x01", 4) + QByteArray("\x02\x02\x00\x02", 4)
        + QByteArray("\x02\x00\x00\x00", 4) + QByteArray("\x02\x45\x4E\x44");
    QCOMPARE(line.receivedSince(0).toHex(' '), expected.toHex(' '));
    QVERIFY(line.portReleased());
}

void TestEndToEnd::deviceUnpluggedAndBack()
{
    SimulatedDevice::FaultConfig hangUp;
    hangUp.hangUpAtWord = 5;
    WindowOnLine line(hangUp);
    std::vector<quint16> words(20);
    for (quint16 &w : words)
        w = quint16(QRandomGenerator::global()->bounded(65536));
    line.load(words);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(line.download(), QStringLiteral("5"));
    QVERIFY(timer.elapsed() < 3000);   // ends at once, without waiting out retries
    QVERIFY(!line.form->MSComm1().PortOpen());
    QVERIFY(line.messages.isEmpty());

    QVERIFY(line.device.reopen());   // plugged back in: a new device path
    QCOMPARE(line.download(), QStringLiteral("21"));
    QVERIFY(line.device.waitForEndMarker(2.0));
    QCOMPARE(line.device.words(), withExtraFrame(words));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
