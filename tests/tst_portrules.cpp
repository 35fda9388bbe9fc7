// The port layer's rules that need no port, on every platform: settings texts,
// the order that numbers the ports, and giving low-latency mode back.
#include "serial/linesettings.h"
#include "serial/lowlatency.h"
#include "serial/portmapping.h"

#include <QTest>

class TestPortRules : public QObject {
    Q_OBJECT

private slots:
    void settingsText_data();
    void settingsText();
    void portOrder_data();
    void portOrder();
    void lowLatencyIsGivenBack_data();
    void lowLatencyIsGivenBack();
};

void TestPortRules::settingsText_data()
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

void TestPortRules::settingsText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto settings = LineSettings::parse(text);
    QCOMPARE(settings.has_value(), valid);
    if (valid)
        QTEST(settings->baudRate, "baud");
}

void TestPortRules::portOrder_data()
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
    // Numbers of the same width are compared too, not only their lengths.
    QTest::newRow("ttyUSB0 before ttyUSB1")
        << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB0"} << 1 << "/dev/ttyUSB0";
    QTest::newRow("ttyS2 before ttyS9") << QStringList{"/dev/ttyS9", "/dev/ttyS2"} << 1 << "/dev/ttyS2";
}

void TestPortRules::portOrder()
{
    QFETCH(QStringList, locations);
    QFETCH(int, portNo);
    QTEST(portAmong(locations, portNo), "opened");
}

// A driver's low-latency mode: -1 where the driver has none, else 0 or 1.
void TestPortRules::lowLatencyIsGivenBack_data()
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

void TestPortRules::lowLatencyIsGivenBack()
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

QTEST_GUILESS_MAIN(TestPortRules)
#include "tst_portrules.moc"
