#include "app/form1.h"
#include "tests/support/chosenfile.h"
#include "kd7sim/simulateddevice.h"
#include "serial/module1.h"
#include "tests/support/scaledclock.h"

#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Faults = SimulatedDevice::FaultConfig;
Q_DECLARE_METATYPE(Faults)

namespace {

// The real main window on a real serial line: port 1 is a pseudo-terminal
// with the simulated KD7 on its other end.
struct Bench {
    SimulatedDevice device;
    QTemporaryDir dir;
    ChosenFile dialog;
    QStringList messages;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Form1> form;

    explicit Bench(Faults faults = {}, double clockFactor = 1.0) : device(faults)
    {
        if (clockFactor == 1.0)
            clock = std::make_unique<SteadyClock>();
        else
            clock = std::make_unique<ScaledClock>(clockFactor);
        device.start();
        Form1Services services;
        services.dialog = &dialog;
        services.clock = clock.get();
        services.messageBox = [this](const QString &text) { messages << text; };
        services.endProgram = [] {};
        services.portMapping = [this](int n) {
            return n == 1 ? QString::fromStdString(device.devicePath()) : QString();
        };
        form = std::make_unique<Form1>(services);
    }

    void load(const std::vector<quint16> &words)
    {
        QByteArray text;
        for (const quint16 w : words)
            text += QByteArray::number(w) + "\r\n";
        QFile file(dir.filePath("PROG.OBJ"));
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
        file.close();
        dialog.next = file.fileName();
        form->ui.OPEN->trigger();
    }

    QString download()
    {
        form->ui.Command1->click();
        return form->ui.Label4->text();
    }
};

std::vector<quint16> randomWords(int count)
{
    std::vector<quint16> words(count);
    for (quint16 &w : words)
        w = quint16(QRandomGenerator::global()->bounded(65536));
    return words;
}

std::vector<std::uint16_t> withExtraFrame(const std::vector<quint16> &words)
{
    std::vector<std::uint16_t> sent(words.begin(), words.end());
    sent.push_back(0);
    return sent;
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init() { PortNo = 1; }
    void workedExampleOnTheWire();
    void programArrivesExact();
    void failures_data();
    void failures();
    void portHeldByAnotherProgram();
    void deviceUnpluggedAndBack();
};

void TestEndToEnd::workedExampleOnTheWire()
{
    Bench bench;
    bench.load({1, 2});
    QCOMPARE(bench.download(), QStringLiteral("3"));
    QVERIFY(bench.device.waitForEndMarker(2.0));
    const QByteArray expected = QByteArray(100, char(0xAA)) + QByteArray("\x02KD7")
        + QByteArray("\x02\x01\x00\x01", 4) + QByteArray("\x02\x02\x00\x02", 4)
        + QByteArray("\x02\x00\x00\x00", 4) + QByteArray("\x02\x45\x4E\x44");
    const std::string transcript = bench.device.transcript();
    QCOMPARE(QByteArray::fromStdString(transcript).toHex(' '), expected.toHex(' '));
    QVERIFY(!bench.form->MSComm1().PortOpen());
}

void TestEndToEnd::programArrivesExact()
{
    Bench bench;
    const std::vector<quint16> words = randomWords(2000);
    bench.load(words);
    QCOMPARE(bench.download(), QString::number(2001));
    QVERIFY(bench.device.waitForEndMarker(2.0));
    QCOMPARE(bench.device.words(), withExtraFrame(words));
    QCOMPARE(bench.device.counters().badCheckBytes, 0);
    QVERIFY(bench.messages.isEmpty());

    QCOMPARE(bench.download(), QString::number(2001));   // and again, on the same window
    QCOMPARE(int(bench.device.sessions().size()), 2);
    QCOMPARE(bench.device.words(), withExtraFrame(words));
}

void TestEndToEnd::failures_data()
{
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<QString>("label4");
    QTest::addColumn<int>("handshakes");

    Faults silent;
    silent.silent = true;
    Faults stopAt5;
    stopAt5.stopAtWord = 5;
    Faults nak;
    nak.answerByte = 0x15;
    Faults ackThenZero;
    ackThenZero.trailingByte = 0x00;
    QTest::newRow("silent device") << silent << "0" << 10;
    QTest::newRow("stops at word 5") << stopAt5 << "5" << 1;
    QTest::newRow("answers 0x15") << nak << "0" << 10;
    QTest::newRow("answers 06 then 00") << ackThenZero << "0" << 10;
}

// Each failure leaves a clear count and a closed port, and the next download
// on a well-behaved device works.
void TestEndToEnd::failures()
{
    QFETCH(Faults, faults);
    Bench bench(faults, 20.0);
    const std::vector<quint16> words = randomWords(12);
    bench.load(words);
    QTEST(bench.download(), "label4");
    QTEST(bench.device.counters().handshakesSeen, "handshakes");
    QVERIFY(!bench.form->MSComm1().PortOpen());
    QVERIFY(bench.messages.isEmpty());

    bench.device.setFaults({});
    QCOMPARE(bench.download(), QStringLiteral("13"));
    QVERIFY(bench.device.waitForEndMarker(2.0));
    QCOMPARE(bench.device.words(), withExtraFrame(words));
}

void TestEndToEnd::portHeldByAnotherProgram()
{
    Bench bench;
    bench.load({7, 8, 9});
    QSerialPort other(QString::fromStdString(bench.device.devicePath()));
    QVERIFY(other.open(QIODevice::ReadWrite));
    QCOMPARE(bench.download(), QStringLiteral("0"));
    QCOMPARE(bench.messages, QStringList{QStringLiteral("串口不能打开! ")});
    QVERIFY(bench.device.transcript().empty());

    other.close();
    QCOMPARE(bench.download(), QStringLiteral("4"));
}

void TestEndToEnd::deviceUnpluggedAndBack()
{
    Faults hangUp;
    hangUp.hangUpAtWord = 5;
    Bench bench(hangUp);
    const std::vector<quint16> words = randomWords(20);
    bench.load(words);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(bench.download(), QStringLiteral("5"));
    QVERIFY(timer.elapsed() < 3000);   // ends at once, without waiting out retries
    QVERIFY(!bench.form->MSComm1().PortOpen());
    QVERIFY(bench.messages.isEmpty());

    QVERIFY(bench.device.reopen());   // plugged back in: a new device path
    QCOMPARE(bench.download(), QStringLiteral("21"));
    QVERIFY(bench.device.waitForEndMarker(2.0));
    QCOMPARE(bench.device.words(), withExtraFrame(words));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
