// The port layer's rules that need no port, on every platform: settings texts,
// the order that numbers the ports, and giving low-latency mode back.
#include "serial/linesettings.h"
#include "serial/lowlatency.h"
#include "systemports/portmapping.h"
#include "systemports/problemdevices.h"

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
    void windowsAdaptersWithProblems_data();
    void windowsAdaptersWithProblems();
};

Q_DECLARE_METATYPE(QList<WindowsDevice>)

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

// Device lists as SetupAPI gives them: what stands at a COM port, the
// adapters with a problem, and the line under "串口不能打开! " for port 3.
void TestPortRules::windowsAdaptersWithProblems_data()
{
    QTest::addColumn<QList<WindowsDevice>>("devices");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("refusedPort3");
    QTest::addColumn<QString>("heldPort3");   // another program has COM3 open
    const QString held = QStringLiteral("COM3 正被另一个程序使用, 请先关闭它.");
    const QString ports = QStringLiteral("{4D36E978-E325-11CE-BFC1-08002BE10318}");
    const WindowsDevice ch340{{"USB\\VID_1A86&PID_7523&REV_0254", "USB\\VID_1A86&PID_7523"},
                              {"USB\\Class_FF&SubClass_01&Prot_02", "USB\\Class_FF"},
                              {},
                              "USB2.0-Serial",
                              {},
                              28};
    const QString noDriver = QStringLiteral("USB 串口适配器 (USB2.0-Serial) 没有安装驱动 (设备管理器代码 "
                                            "28): 装上 WCH 的 CH341SER 驱动, 再拔插适配器.");
    QTest::newRow("a CH340 with no driver (code 28)")
        << QList<WindowsDevice>{ch340} << "COM3" << QString() << QStringList{noDriver}
        << "串口 3 (COM3) 不存在. " + noDriver << held;
    const QString clone = QStringLiteral(
        "COM3: USB 串口适配器 (Prolific USB-to-Serial Comm Port) 的驱动不能启动它 (设备管理器代码 10): "
        "多半是仿制的 PL2303 芯片, Prolific 的新驱动不认它: 换一个适配器 (CH340, FTDI 或 CP210x), "
        "或装 Prolific 的旧版驱动.");
    QTest::newRow("a PL2303 clone its driver will not start (code 10)")
        << QList<WindowsDevice>{{{"USB\\VID_067B&PID_2303&REV_0300"},
                                 {},
                                 ports,
                                 "Prolific USB-to-Serial Comm Port (COM3)",
                                 "COM3",
                                 10}}
        << "COM3" << clone << QStringList{clone} << clone << clone;
    const QString disabled = QStringLiteral("COM4: USB 串口适配器 (USB Serial Port) 被停用了 (设备管理器代码 "
                                            "22): 在设备管理器中右键点它, 选 启用设备.");
    QTest::newRow("an FTDI adapter that is disabled (code 22)")
        << QList<WindowsDevice>{{{"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000"},
                                 {},
                                 ports,
                                 "USB Serial Port (COM4)",
                                 "COM4",
                                 22}}
        << "COM4" << disabled << QStringList{disabled} << "串口 3 (COM3) 不存在. " + disabled << held;
    WindowsDevice working = ch340;
    working.problem = 0;
    QTest::newRow("a working adapter and a faulty device that is no serial adapter")
        << QList<WindowsDevice>{working,
                                {{"PCI\\VEN_8086&DEV_A13A"},
                                 {},
                                 {},
                                 "PCI Simple Communications Controller",
                                 {},
                                 28}}
        << "COM3" << QString() << QStringList{}
        << "串口 3 (COM3) 不存在. 请插上串口适配器; 每个串口号对应哪个串口, 在 设置 "
           "中把鼠标停在串口号上就能看到."
        << held;
    QTest::newRow("a CH341A programmer and a Silicon Labs debug adapter are no serial adapters")
        << QList<WindowsDevice>{{{"USB\\VID_1A86&PID_5512"}, {}, {}, "CH341A", {}, 28},
                                {{"USB\\VID_10C4&PID_8044"}, {}, {}, "Debug", {}, 28}}
        << "COM3" << QString() << QStringList{}
        << "串口 3 (COM3) 不存在. 请插上串口适配器; 每个串口号对应哪个串口, 在 设置 "
           "中把鼠标停在串口号上就能看到."
        << held;
    const QString serialHalf = QStringLiteral("USB 串口适配器 (OCD %1) 没有安装驱动 (设备管理器代码 28): "
                                              "装上 FTDI 的 VCP 驱动, 再拔插适配器.");
    QTest::newRow("a JTAG adapter's serial interface (MI_01) without a driver; its JTAG one is none")
        << QList<WindowsDevice>{{{"USB\\VID_15BA&PID_002B&MI_00"}, {}, {}, "OCD", {}, 28},
                                {{"USB\\VID_15BA&PID_002B&REV_0700&MI_01"}, {}, {}, "OCD %1", {}, 28}}
        << "COM3" << QString() << QStringList{serialHalf} << "串口 3 (COM3) 不存在. " + serialHalf << held;
}

void TestPortRules::windowsAdaptersWithProblems()
{
    QFETCH(QList<WindowsDevice>, devices);
    QFETCH(QString, location);
    const PortTroubles troubles = windowsPortTroubles([devices] { return devices; });
    QTEST(troubles.troubleAt(location), "at");
    QTEST(troubles.strandedAdapters(), "listed");
    QTEST(explainRefusal({3, "COM3", OpenRefusal::NoSuchPort, "系统找不到指定的文件。"}, troubles),
          "refusedPort3");
    QTEST(explainRefusal({3, "COM3", OpenRefusal::InUse, "拒绝访问。"}, troubles), "heldPort3");
    int looks = 0;   // the port window's survey enumerates the devices once for all its ports
    const auto counted = [&] {
        ++looks;
        return devices;
    };
    const TroubleSurvey survey = windowsPortTroubles(counted).surveyed({"COM1", location, "COM4"});
    QCOMPARE(looks, 1);
    QCOMPARE(survey.at.value(location), troubles.troubleAt(location));
    QCOMPARE(survey.stranded, troubles.strandedAdapters());
}

QTEST_GUILESS_MAIN(TestPortRules)
#include "tst_portrules.moc"
