#include "app/form1.h"
#include "serial/form2.h"
#include "serial/module1.h"
#include "serial/portnumberbox.h"
#include "systemports/linuxporttroubles.h"
#include "systemports/sysfsports.h"
#include "systemports/systemports.h"
#include "tests/support/captions.h"
#include "tests/support/ptypair.h"
#include "tests/support/windowonfakes.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

Q_DECLARE_METATYPE(QList<SystemPort>)

namespace {

struct Window : WindowOnFakes {
    Form2 *settings()
    {
        form.ui.CONFIG->trigger();
        return form.form2();
    }
};

// A kernel's report of its ttys as sysfs lays it out: class/tty/NAME leads
// to the tty's folder, whose `device` leads to what a driver serves. Each
// tty is "NAME:KIND": a placeholder or a UART of the 8250 driver as kernel
// 6.1 binds it (8250-placeholder, 8250-pnp-uart, 8250-platform-uart) or as
// 6.5 and later do under serial-base (port-placeholder, port-uart), an FTDI
// adapter (ftdi), a CDC-ACM board (acm), a console (console), Bluetooth
// (rfcomm), an FT2232's second interface (ft2232). Beside the ttys, the same
// list may hold what stands in their way: "usb:PORT:VENDOR:PRODUCT:INTERFACE:
// DRIVER:NAME", a USB interface bound to DRIVER ("-": none) of USB device
// 001/PORT's number; "held:PID:PROGRAM:PATH[:PARENT]", a process holding
// PATH open, under proc/; "login:PID:PROGRAM:TTY", TTY as a login prompt
// leaves it and PROGRAM's controlling terminal ("-": no program);
// "lock:TTY:TEXT", TTY's lock file; "modules", a kernel's module list;
// "group:NAME:MEMBERS", /dev/ttyUSB0 under dev/ belonging to group NAME,
// which the group file lists with MEMBERS, and open to the group alone.
QString sysfsTree(const QTemporaryDir &dir, const QStringList &ttys)
{
    const QString root = dir.path();
    const auto make = [&](const QString &path, const QString &text = {}) {
        QDir().mkpath(QFileInfo(root + path).path());
        QFile file(root + path);
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8() + '\n') > 0;
    };
    const auto link = [&](const QString &target, const QString &at) {
        QDir().mkpath(QFileInfo(root + at).path());
        return QFile::link(root + target, root + at);
    };
    const QString usb = QStringLiteral("/devices/pci0000:00/0000:00:04.0/usb1");
    // A USB device with an interface (IDS: VENDOR:PRODUCT:NUMBER), bound to `driver` (none: empty).
    const auto usbDevice = [&](const QString &port, const QString &ids, const QString &product,
                               const QString &driver, const QString &interfaceClass = "ff") {
        make(usb + "/" + port + "/idVendor", ids.left(4));
        make(usb + "/" + port + "/product", product);
        make(usb + "/" + port + "/busnum", "1");
        make(usb + "/" + port + "/devnum", port.section('-', 1));
        const QString interface = usb + "/" + port + "/" + port + ":1." + ids.section(':', 2);
        make(interface + "/bInterfaceClass", interfaceClass);
        make(interface + "/bInterfaceSubClass", interfaceClass);
        make(interface + "/modalias",
             "usb:v" + ids.left(9).toUpper().replace(':', 'p') + "d0100dc00dsc00dp00ic"
                 + interfaceClass.toUpper() + "isc00ip00in0" + ids.section(':', 2));
        link(interface, "/bus/usb/devices/" + port + ":1." + ids.section(':', 2));
        if (!driver.isEmpty())
            link("/bus/usb/drivers/" + driver, interface + "/driver");
    };
    for (const QString &tty : ttys) {
        const QString name = tty.section(QLatin1Char(':'), 0, 0);
        const QString kind = tty.section(QLatin1Char(':'), 1);
        const QStringList fields = kind.split(QLatin1Char(':'));
        if (name == "usb") {
            usbDevice(fields.at(0), fields.mid(1, 3).join(':'), fields.at(5),
                      QString(fields.at(4)).remove('-'));
            continue;
        }
        if (name == "login") {   // its device number 4:64 is tty_nr 1088
            const QString pid = fields.at(0), device = root + "/dev/" + fields.at(2);
            if (pid != "-" && make("/class/tty/" + fields.at(2) + "/dev", "4:64")
                && make("/proc/" + pid + "/comm", fields.at(1)))
                make("/proc/" + pid + "/stat",
                     pid + " (" + fields.at(1) + ") S 1 " + pid + " " + pid + " 1088");
            QFile(device).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::WriteGroup);
            if (::geteuid() == 0 && ::chown(qPrintable(device), 0, 5) != 0)
                return {};
            continue;
        }
        if (name == "lock") {
            make("/run/lock/LCK.." + fields.at(0), fields.at(1));
            continue;
        }
        if (name == "modules") {
            make("/lib/modules/modules.alias",
                 "alias usb:v1A86p5512d*dc*dsc*dp*ic*isc*ip*in* spi_ch341\n"
                 "alias usb:v110Ap1150d[0-1]*dc*dsc*dp*ic*isc*ip*in* mxuport");
            make("/lib/modules/modules.dep",
                 "kernel/drivers/spi/spi-ch341.ko.xz:\n"
                 "kernel/drivers/usb/serial/mxuport.ko.xz: usbserial.ko.xz");
            continue;
        }
        if (name == "held") {
            make("/proc/" + fields.at(0) + "/comm", fields.at(1));
            QDir().mkpath(root + "/proc/" + fields.at(0) + "/fd");
            QFile::link(fields.at(2), root + "/proc/" + fields.at(0) + "/fd/3");
            make("/proc/" + fields.at(0) + "/stat",
                 fields.at(0) + " (" + fields.at(1) + ") S " + fields.value(3, "1"));
            continue;
        }
        if (name == "group") {
            QFile device(root + "/dev/ttyUSB0");
            make("/dev/ttyUSB0");
            device.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                  | QFile::WriteGroup);
            if (QFileInfo(device).groupId() == 0 && ::chown(qPrintable(device.fileName()), 0, 20) != 0)
                return {};   // as root, a group of its own, as dialout is
            make("/etc/group",
                 QStringLiteral("root:x:0:\n%1:x:%2:%3")
                     .arg(fields.at(0))
                     .arg(QFileInfo(device).groupId())
                     .arg(fields.at(1)));
            continue;
        }
        const QString line = QString(name).remove(QRegularExpression(QStringLiteral("^\\D+")));
        struct Bound {
            QString device, driver;
            int type;
        };
        const QHash<QString, Bound> kinds{
            {"8250-placeholder", {"/devices/platform/serial8250", "platform/drivers/serial8250", 0}},
            {"8250-platform-uart", {"/devices/platform/serial8250", "platform/drivers/serial8250", 4}},
            {"8250-pnp-uart", {"/devices/pnp0/00:0" + line, "pnp/drivers/serial", 4}},
            {"port-placeholder",
             {"/devices/platform/serial8250/serial8250:0/serial8250:0." + line, "serial-base/drivers/port",
              0}},
            {"port-uart",
             {"/devices/pnp0/00:0" + line + "/00:0" + line + ":0/00:0" + line + ":0.0",
              "serial-base/drivers/port", 4}},
            {"ftdi", {usb + "/1-1/1-1:1.0/" + name, "usb-serial/drivers/ftdi_sio", -1}},
            {"acm", {usb + "/1-2/1-2:1.0", "usb/drivers/cdc_acm", -1}},
            {"ft2232", {usb + "/1-3/1-3:1.1/" + name, "usb-serial/drivers/ftdi_sio", -1}},
        };
        if (kind == "ftdi")   // its interface is served: it is no adapter without a port
            usbDevice("1-1", "0403:6001:0", "FT232R USB UART", "ftdi_sio");
        if (kind == "ft2232")
            usbDevice("1-3", "0403:6010:1", "FT2232", "ftdi_sio");
        if (kind == "acm")
            usbDevice("1-2", "2341:0043:0", "Arduino Uno", "cdc_acm", "02");
        if (!kinds.contains(kind)) {   // a tty with no device behind it
            link("/devices/virtual/tty/" + name, "/class/tty/" + name);
            make("/devices/virtual/tty/" + name + "/dev", "4:1");
            continue;
        }
        const Bound bound = kinds.value(kind);
        const QString ttyDir = bound.device + "/tty/" + name;
        make("/dev/" + name);
        link(ttyDir, "/class/tty/" + name);
        link(bound.device, ttyDir + "/device");
        link("/bus/" + bound.driver, bound.device + "/driver");
        make("/bus/" + bound.driver + "/uevent");
        if (bound.type >= 0)
            make(ttyDir + "/type", QString::number(bound.type));
    }
    make(usb + "/idVendor", "1d6b");
    make(usb + "/product", "xHCI Host Controller");
    return root;
}

void choose(Form2 *form2, int listIndex)
{
    QComboBox *box = form2->COMBO1(1);
    box->setCurrentIndex(listIndex);
    emit box->activated(listIndex);
}

}   // namespace

class TestForm2 : public QObject {
    Q_OBJECT

private slots:
    void init() { PortNo = 1; }
    void controls_data();
    void controls();
    void startsWithNoChoice();
    void confirmAndCancel_data();
    void confirmAndCancel();
    void noChoiceMakesTheNextDownloadFail();
    void choiceLastsAcrossShowings();
    void settingsClosesAnOpenPort();
    void typedTextNeverChangesThePort();
    void tooltipsNameWhatEachNumberOpens();
    void tooltipsNamePortsNoNumberReaches_data();
    void tooltipsNamePortsNoNumberReaches();
    void portsAsTheKernelReportsThem_data();
    void portsAsTheKernelReportsThem();
    void eachNumberOpensTheListedPort();
    void exitWhileShownEndsEverything();
    void captionsShowWhole();
};

void TestForm2::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("points");

    QTest::newRow("Label1") << "Label1" << QRect(40, 32, 73, 25) << "串口号" << 15.75;
    QTest::newRow("Label2") << "Label2" << QRect(8, 96, 281, 33) << "波特率 9600 无校验 1停止位" << 15.0;
    QTest::newRow("Command1") << "Command1" << QRect(32, 152, 97, 33) << "确认" << 15.0;
    QTest::newRow("Command2") << "Command2" << QRect(176, 152, 97, 33) << "取消" << 15.0;
    QTest::newRow("COMBO1") << "COMBO1" << QRect(128, 32, 113, -1) << "Combo1" << 14.25;
}

void TestForm2::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    Form2 form2;
    QCOMPARE(form2.size(), QSize(312, 213));
    QCOMPARE(form2.windowTitle(), QStringLiteral("选择串口"));
    QWidget *widget = form2.findChild<QWidget *>(name);
    QVERIFY(widget);
    if (geometry.height() < 0)
        geometry.setHeight(widget->height());   // a combo box takes its own height
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->font().families().value(0), QStringLiteral("宋体"));
    QTEST(widget->font().pointSizeF(), "points");
    QString text;
    if (auto *label = qobject_cast<QLabel *>(widget))
        text = label->text();
    else if (auto *button = qobject_cast<QPushButton *>(widget))
        text = button->text();
    else
        text = qobject_cast<QComboBox *>(widget)->currentText();
    QTEST(text, "text");
}

void TestForm2::startsWithNoChoice()
{
    Window w;
    Form2 *form2 = w.settings();
    QVERIFY(QTest::qWaitForWindowActive(form2));
    QComboBox *box = form2->COMBO1(1);
    QCOMPARE(box->count(), 4);
    QCOMPARE(box->itemText(0), QStringLiteral("1"));
    QCOMPARE(box->itemText(3), QStringLiteral("4"));
    QCOMPARE(box->currentIndex(), -1);
    QVERIFY(box->isEditable());
    QCOMPARE(QApplication::focusWidget(), form2->Command1);
    QCOMPARE(form2->Command1->nextInFocusChain(), form2->Command2);
    QVERIFY(!form2->Command1->isDefault() && !form2->Command2->isDefault());
    QVERIFY(w.form.isEnabled());   // shown without blocking the main window
}

void TestForm2::confirmAndCancel_data()
{
    QTest::addColumn<int>("listIndex");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("portNo");
    QTest::newRow("confirm without a choice gives 0") << -1 << "Command1" << 0;
    QTest::newRow("confirm 1") << 0 << "Command1" << 1;
    QTest::newRow("confirm 3") << 2 << "Command1" << 3;
    QTest::newRow("confirm 4") << 3 << "Command1" << 4;
    QTest::newRow("cancel keeps the port") << 2 << "Command2" << 1;
}

void TestForm2::confirmAndCancel()
{
    QFETCH(int, listIndex);
    QFETCH(QString, button);
    Window w;
    Form2 *form2 = w.settings();
    choose(form2, listIndex);
    form2->findChild<QPushButton *>(button)->click();
    QTEST(int(PortNo), "portNo");
    QVERIFY(!form2->isVisible());
}

void TestForm2::noChoiceMakesTheNextDownloadFail()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("p.OBJ"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("1,2,3");
    file.close();

    PtyPair device;
    FakeClock clock;
    ChosenFile dialog;
    dialog.next = file.fileName();
    QStringList messages;
    Form1Services services;
    services.dialog = &dialog;
    services.clock = &clock;
    services.messageBox = [&](const QString &m, const QString &detail) { messages << m << detail; };
    services.endProgram = [] {};
    services.processEvents = [] {};
    services.portMapping = portOneAt([&] { return device.devicePath(); });
    Form1 form(services);
    form.ui.OPEN->trigger();
    form.ui.CONFIG->trigger();
    form.form2()->Command1->click();
    QCOMPARE(PortNo, qint16(0));
    form.ui.Command1->click();
    QCOMPARE(messages,
             (QStringList{QStringLiteral("串口不能打开! "),
                          QStringLiteral("没有选串口号: 请在 设置 中选一个串口号, 按 确认.")}));
    QCOMPARE(form.ui.Label4->text(), QStringLiteral("0"));
    QVERIFY(device.read(50).isEmpty());
}

void TestForm2::choiceLastsAcrossShowings()
{
    Window w;
    Form2 *form2 = w.settings();
    choose(form2, 2);
    form2->Command1->click();
    QCOMPARE(w.settings(), form2);   // created once, then only hidden
    QVERIFY(form2->isVisible());
    QCOMPARE(form2->COMBO1(1)->count(), 4);   // the list is filled once
    QCOMPARE(form2->COMBO1(1)->currentText(), QStringLiteral("3"));
    form2->Command2->click();
    QCOMPARE(PortNo, qint16(3));
}

void TestForm2::settingsClosesAnOpenPort()
{
    Window w;
    w.form.Openport();
    QVERIFY(w.line.PortOpen());
    Form2 *form2 = w.settings();
    QVERIFY(!w.line.PortOpen());
    w.form.Openport();
    QCOMPARE(w.settings(), form2);   // Settings again while it shows
    QVERIFY(form2->isVisible());
    QVERIFY(!w.line.PortOpen());
    form2->Command2->click();
    QVERIFY(!w.line.PortOpen());
}

void TestForm2::typedTextNeverChangesThePort()
{
    Window w;
    Form2 *form2 = w.settings();
    QVERIFY(QTest::qWaitForWindowActive(form2));
    QComboBox *box = form2->COMBO1(1);
    QLineEdit *edit = box->lineEdit();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "3");
    QTest::keyClick(edit, Qt::Key_Return);
    form2->Command2->setFocus();
    QCOMPARE(box->currentIndex(), -1);
    QCOMPARE(box->count(), 4);   // nothing was added to the list
    form2->Command1->click();
    QCOMPARE(PortNo, qint16(0));

    w.settings();
    choose(form2, 1);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "4");
    QTest::keyClick(edit, Qt::Key_Enter);
    form2->Command1->setFocus();
    form2->Command1->click();
    QCOMPARE(PortNo, qint16(2));
}

void TestForm2::tooltipsNameWhatEachNumberOpens()
{
    PtyPair device;
    Window w;
    w.port1 = device.devicePath();
    w.ports = {{device.devicePath(), {}, std::nullopt}};
    auto *box = static_cast<PortNumberBox *>(w.settings()->COMBO1(1));
    box->refreshTooltips();
    QVERIFY(box->itemData(0, Qt::ToolTipRole).toString().contains(device.devicePath()));
    QVERIFY(box->itemData(1, Qt::ToolTipRole).toString().contains(QStringLiteral("没有这个串口")));

    w.port1.clear();   // the device went away: the next look says so
    w.ports.clear();
    box->showPopup();
    QVERIFY(box->itemData(0, Qt::ToolTipRole).toString().contains(QStringLiteral("没有这个串口")));
    box->hidePopup();
}

// Port 1 opens a device, the others none; a port listed with no location is
// the one port 1 opens, and %1 in a text stands for it. Ports the system has
// beyond it are named on the box itself and on every empty number, with what
// to do; an FTDI adapter's slow latency timer is named on its port.
void TestForm2::tooltipsNamePortsNoNumberReaches_data()
{
    QTest::addColumn<QList<SystemPort>>("ports");
    QTest::addColumn<QStringList>("onTheBox");
    QTest::addColumn<QString>("port1Begins");
    QTest::addColumn<QStringList>("port1Says");
    QTest::addColumn<QStringList>("port1Omits");
    const SystemPort port1{QString(), {}, std::nullopt};
    const SystemPort usb7{QStringLiteral("COM7"), QStringLiteral("USB Serial Port"), std::nullopt};
    const SystemPort bare12{QStringLiteral("COM12"), {}, std::nullopt};
    const QString slow = QStringLiteral("延迟计时器");
    QTest::newRow("no port beyond the one reached")
        << QList<SystemPort>{port1} << QStringList{} << "串口 1: %1" << QStringList{} << QStringList{slow};
    QTest::newRow("a port the system does not list opens none")
        << QList<SystemPort>{} << QStringList{} << "串口 1: 没有这个串口" << QStringList{}
        << QStringList{"%1"};
    QTest::newRow("adapters at COM7 and COM12")
        << QList<SystemPort>{port1, usb7, bare12}
        << QStringList{QStringLiteral("COM7: USB Serial Port"), QStringLiteral("\n    COM12"),
                       renumberingAdvice()}
        << "串口 1: %1" << QStringList{} << QStringList{QStringLiteral("COM7")};
    QTest::newRow("FTDI adapter at 16 ms on port 1")
        << QList<SystemPort>{{QString(), QStringLiteral("USB Serial Port"), 16}} << QStringList{}
        << "串口 1: %1 (USB Serial Port)"
        << QStringList{QStringLiteral("16 毫秒"), QStringLiteral("延迟计时器 (毫秒): 1")} << QStringList{};
    QTest::newRow("FTDI adapter at 2 ms on port 1")
        << QList<SystemPort>{{QString(), QStringLiteral("USB Serial Port"), 2}} << QStringList{}
        << "串口 1: %1 (USB Serial Port)" << QStringList{} << QStringList{slow};
    QTest::newRow("FTDI adapter at 16 ms that no number reaches")
        << QList<SystemPort>{port1, {QStringLiteral("COM9"), {}, 16}}
        << QStringList{QStringLiteral("COM9"), QStringLiteral("16 毫秒")} << "串口 1: %1" << QStringList{}
        << QStringList{};
}

void TestForm2::tooltipsNamePortsNoNumberReaches()
{
    QFETCH(QList<SystemPort>, ports);
    QFETCH(QStringList, onTheBox);
    PtyPair device;
    Window w;
    w.port1 = device.devicePath();
    for (SystemPort &port : ports)
        if (port.location.isEmpty())
            port.location = device.devicePath();
    w.ports = ports;
    Form2 *form2 = w.settings();   // the tooltips are made as the window shows
    const QComboBox *box = form2->COMBO1(1);
    const QString boxTip = box->toolTip();
    QCOMPARE(boxTip.isEmpty(), onTheBox.isEmpty());
    const QString emptyNumberTip = box->itemData(1, Qt::ToolTipRole).toString();
    QVERIFY2(emptyNumberTip.startsWith(QStringLiteral("串口 2: 没有这个串口")), qPrintable(emptyNumberTip));
    for (const QString &text : onTheBox) {
        QVERIFY2(boxTip.contains(text), qPrintable(boxTip));
        QVERIFY2(emptyNumberTip.contains(text), qPrintable(emptyNumberTip));
    }
    const QString port1Tip = box->itemData(0, Qt::ToolTipRole).toString();
    QFETCH(QString, port1Begins);
    QVERIFY2(port1Tip.startsWith(port1Begins.arg(device.devicePath())), qPrintable(port1Tip));
    QFETCH(QStringList, port1Says);
    for (const QString &text : port1Says)
        QVERIFY2(port1Tip.contains(text), qPrintable(port1Tip));
    QFETCH(QStringList, port1Omits);
    for (const QString &text : port1Omits)
        QVERIFY2(!port1Tip.contains(text.arg(device.devicePath())), qPrintable(port1Tip));
}

// The ports come from the kernel's report alone, and number n opens the
// n-th listed: each number's tooltip names what it opens. What stands in a
// port's way is read from the same trees: its tooltip says it, and so does
// the line below "串口不能打开! " when that number is refused. Each of
// `says` is "WHERE:TEXT", WHERE being a number's tooltip (1 to 4), the box's
// own ("box") or the refusal of a number ("refused N"); "!" before it: the
// text is not there.
void TestForm2::portsAsTheKernelReportsThem_data()
{
    QTest::addColumn<QStringList>("ttys");
    QTest::addColumn<QStringList>("numbered");   // what numbers 1, 2, ... open
    QTest::addColumn<QStringList>("says");
    const QStringList uartAndAdapter{"/dev/ttyS1", "/dev/ttyUSB0 (FT232R USB UART)"};
    const QStringList consoles{"tty0:console", "console:console", "ptmx:console"};
    const QString noAdapterStranded = QStringLiteral("!box:插着");
    QTest::newRow("Debian 12's kernel: a UART, three placeholders, an FTDI adapter")
        << QStringList{"ttyS0:8250-placeholder", "ttyS1:8250-pnp-uart", "ttyS2:8250-placeholder",
                       "ttyS3:8250-placeholder", "ttyUSB0:ftdi"}
            + consoles
        << uartAndAdapter << QStringList{noAdapterStranded, "!2:没有权限"};
    QTest::newRow("kernel 6.12: the same under serial-base")
        << QStringList{"ttyS0:port-placeholder", "ttyS1:port-uart", "ttyS2:port-placeholder",
                       "ttyS3:port-placeholder", "ttyUSB0:ftdi"}
            + consoles
        << uartAndAdapter << QStringList{noAdapterStranded};
    QStringList ubuntu{"ttyS0:port-uart", "ttyUSB0:ftdi"};
    for (int n = 1; n < 32; ++n)
        ubuntu << QStringLiteral("ttyS%1:port-placeholder").arg(n);
    QTest::newRow("Ubuntu: a real ttyS0 among 32")
        << ubuntu << QStringList{"/dev/ttyS0", "/dev/ttyUSB0 (FT232R USB UART)"} << QStringList{};
    QTest::newRow("a CDC-ACM board and a Bluetooth port")
        << QStringList{"ttyACM0:acm", "rfcomm0:rfcomm", "ttyS0:port-placeholder"}
        << QStringList{"/dev/rfcomm0", "/dev/ttyACM0 (Arduino Uno)"} << QStringList{noAdapterStranded};
    QTest::newRow("a platform UART, which another program may hold")
        << QStringList{"ttyS0:8250-platform-uart", "ttyS1:8250-placeholder", "ttyS10:8250-pnp-uart",
                       "ttyS2:8250-pnp-uart", "ttyUSB0:ftdi"}
        << QStringList{"/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0 (FT232R USB UART)"}
        << QStringList{};
    QTest::newRow("a UART minicom holds, an adapter outside the user's groups")
        << QStringList{"ttyS0:8250-pnp-uart", "ttyUSB0:ftdi", "held:1234:minicom:/dev/ttyS0",
                       "held:1240:sh:/dev/ttyS0:1234", "group:dialout:"}
        << QStringList{"/dev/ttyS0", "/dev/ttyUSB0 (FT232R USB UART)"}
        << QStringList{"1:/dev/ttyS0 正被 minicom (进程 1234) 使用, 请先关闭它.",
                       "refused 1:/dev/ttyS0 正被 minicom (进程 1234) 使用",
                       "2:/dev/ttyUSB0: 没有权限. 把用户加入 dialout 组: sudo usermod -aG dialout operator, "
                       "然后注销并重新登录.",
                       "refused 2:/dev/ttyUSB0: 没有权限. 把用户加入 dialout 组",
                       "!refused 1:没有权限",
                       "!1:sh (进程 1240)"};
    QTest::newRow("a user added to the group who has not logged in again")
        << QStringList{"ttyUSB0:ftdi", "group:dialout:root,operator"}
        << QStringList{"/dev/ttyUSB0 (FT232R USB UART)"}
        << QStringList{"1:用户 operator 已在 dialout 组里, 但这次登录还没有这个组: 注销并重新登录就好.",
                       "!1:usermod"};
    const QString brltty
        = QStringLiteral("USB 串口适配器 CH340 (USB Serial) 插着, 但被 brltty (进程 812) 占用, 没有串口: "
                         "不用盲文显示器的话, 执行 sudo apt remove brltty, 再拔插适配器.");
    const QString noDriver
        = QStringLiteral("USB 串口适配器 PL2303 (USB-Serial Controller) 插着, 但没有驱动接管它, 没有串口: "
                         "执行 sudo modprobe pl2303, 再拔插适配器.");
    QTest::newRow("brltty took a CH340 through usbfs; no driver serves a PL2303")
        << QStringList{"ttyS0:8250-pnp-uart", "usb:1-5:1a86:7523:0:usbfs:USB Serial",
                       "usb:1-6:067b:2303:0:-:USB-Serial Controller", "held:812:brltty:/dev/bus/usb/001/005",
                       "held:77:agetty:/dev/tty1"}
        << QStringList{"/dev/ttyS0"}
        << QStringList{"box:" + brltty, "box:" + noDriver, "2:" + brltty,
                       "refused 2:串口 2 没有对应的串口. " + brltty, "!1:agetty"};
    QTest::newRow("a login prompt on ttyS0; ttyS1 as one leaves it")
        << QStringList{"ttyS0:8250-pnp-uart", "ttyS1:8250-pnp-uart", "login:612:agetty:ttyS0",
                       "login:-:-:ttyS1"}
        << QStringList{"/dev/ttyS0", "/dev/ttyS1"}
        << QStringList{"1:/dev/ttyS0 是登录终端, 正被 agetty (进程 612) 使用: 执行 sudo systemctl disable "
                       "--now serial-getty@ttyS0.service",
                       "2:不让用户 operator 读写: 请管理员修改它的权限.", "!1:usermod", "!2:usermod"};
    QTest::newRow("lock files: one whose owner is gone, one a program named x%1 keeps")
        << QStringList{"ttyS0:8250-pnp-uart", "ttyUSB0:ftdi", "lock:ttyUSB0:      4242", "lock:ttyS0:1234",
                       "held:1234:x%1:/dev/null"}
        << QStringList{"/dev/ttyS0", "/dev/ttyUSB0"}
        << QStringList{"2:/dev/ttyUSB0 的锁文件 ",
                       "2:/run/lock/LCK..ttyUSB0 还在, 但留下它的进程 4242 已经不在了: 执行 sudo rm ",
                       "refused 2:进程 4242 已经不在了", "1:/dev/ttyS0 正被 x%1 (进程 1234) 锁住 (锁文件 "};
    QTest::newRow("a CH341A programmer, a Silicon Labs debug adapter, an FT2232 OpenOCD took in half")
        << QStringList{"ttyS0:8250-pnp-uart", "ttyUSB1:ft2232", "usb:1-3:0403:6010:0:usbfs:FT2232",
                       "usb:1-7:1a86:5512:0:-:A", "usb:1-8:10c4:8044:0:-:B"}
        << QStringList{"/dev/ttyS0", "/dev/ttyUSB1 (FT2232)"} << QStringList{noAdapterStranded};
    QTest::newRow("the kernel's module list decides")
        << QStringList{"ttyS0:8250-pnp-uart", "modules", "usb:1-7:1a86:5512:0:-:CH341A",
                       "usb:1-9:110a:1150:0:-:UPort 1150"}
        << QStringList{"/dev/ttyS0"}
        << QStringList{"box:USB 串口适配器 (UPort 1150) 插着, 但没有驱动接管它, 没有串口: 执行 sudo modprobe "
                       "mxuport, 再拔插适配器.",
                       "!box:CH341A"};
}

void TestForm2::portsAsTheKernelReportsThem()
{
    QFETCH(QStringList, ttys);
    QFETCH(QStringList, numbered);
    QTemporaryDir dir;
    const QString root = sysfsTree(dir, ttys);
    QVERIFY(!root.isEmpty());
    const PortList list = [root] { return sysfsSerialPorts(root); };
    LinuxSystemView view{root, root + "/proc",       root + "/etc/group",  root, 1,
                         {},   {root + "/run/lock"}, root + "/lib/modules"};
    view.account.name = QStringLiteral("operator");
    // The user is in none of the files' groups: a file open to its group alone is closed to it.
    view.account.mayReadWrite
        = [](const QString &path) { return QFileInfo(path).permissions().testFlag(QFile::ReadOther); };
    const PortTroubles troubles = linuxPortTroubles(view);
    const PortMapping mapping = numberedInListOrder(list);
    Form2 form2(mapping, list, PortTroubles{{}, {}, troubles.survey});   // one look at each showing
    form2.show();
    const QComboBox *box = form2.COMBO1(1);
    for (int portNo = 1; portNo <= 4; ++portNo) {
        const QString opens = numbered.value(portNo - 1, QStringLiteral("没有这个串口"));
        const QString tip = box->itemData(portNo - 1, Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith(QStringLiteral("串口 %1: %2").arg(portNo).arg(opens)), qPrintable(tip));
    }
    QFETCH(QStringList, says);
    for (const QString &expected : says) {
        const bool absent = expected.startsWith(QLatin1Char('!'));
        const QString where = expected.section(QLatin1Char(':'), 0, 0).mid(absent ? 1 : 0);
        const int portNo = where.section(QLatin1Char(' '), -1).toInt();
        QString shown = box->toolTip();
        if (where.startsWith(QLatin1String("refused"))) {
            const QString location = mapping(portNo);
            shown = explainRefusal({portNo, location,
                                    location.isEmpty() ? OpenRefusal::NoSuchPort : OpenRefusal::InUse,
                                    QStringLiteral("Permission denied")},
                                   troubles);
        } else if (portNo > 0) {
            shown = box->itemData(portNo - 1, Qt::ToolTipRole).toString();
        }
        QVERIFY2(shown.contains(expected.section(QLatin1Char(':'), 1)) != absent,
                 qPrintable(expected + QStringLiteral("\n  shown: ") + shown));
    }
}

// What the real mapping opens is what the port window lists at that number.
void TestForm2::eachNumberOpensTheListedPort()
{
    const QList<SystemPort> listed = systemPorts();
    for (int portNo = 1; portNo <= 4; ++portNo)
        QCOMPARE(systemPortFor(portNo), listed.value(portNo - 1).location);
}

void TestForm2::exitWhileShownEndsEverything()
{
    Window w;
    w.form.show();
    Form2 *form2 = w.settings();
    w.form.ui.Command2->click();
    QCOMPARE(w.endProgramCalls, 1);
    QVERIFY(!w.form.isVisible());
    QVERIFY(!form2->isVisible());
}

// Every caption shows whole in its control; the picture is kept for README.
void TestForm2::captionsShowWhole()
{
    Window w;
    Form2 *form2 = w.settings();
    QVERIFY(QTest::qWaitForWindowExposed(form2));
    const QStringList clipped = clippedCaptions(*form2);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
    QDir().mkpath(QStringLiteral(KD7_TEST_OUTPUT_DIR));
    QVERIFY(form2->grab().save(QStringLiteral(KD7_TEST_OUTPUT_DIR "/form2.png")));
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
