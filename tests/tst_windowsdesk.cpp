// What the operator's Windows desk shows, under Wine (make test-windows): the
// system's own open dialog, driven as an operator would, the port window's
// tooltips over the COM ports Windows lists, and FTDI adapters' latency
// timers read from the registry entries this test writes. What the tool
// leaves behind (registry keys, files in the profile) is checked by the
// script around it.
#include "app/form1.h"
#include "app/win32commondialog.h"
#include "serial/form2.h"
#include "systemports/ftdilatency.h"
#include "systemports/portdescription.h"
#include "systemports/porttroubles.h"
#include "systemports/problemdevices.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

const QString kPreset = QStringLiteral("*.OBJ");

// The system's dialog runs its own message loop on this thread, so it is
// driven from another one, as an operator's keys would: it finds the dialog
// among this program's windows, types `path` into its file name box and
// presses OK, or presses Cancel when `path` is empty. It gives up after ten
// seconds, cancelling whatever dialog it found.
class DialogDriver {
public:
    explicit DialogDriver(QString path) : path_(std::move(path)), thread_([this] { drive(); }) {}
    ~DialogDriver() { thread_.join(); }
    bool found() const { return found_; }

private:
    static BOOL CALLBACK collect(HWND window, LPARAM found)
    {
        wchar_t name[16] = {};
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window)
            && ::GetClassNameW(window, name, 16) && std::wstring(name) == L"#32770") {
            *reinterpret_cast<HWND *>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK findEdit(HWND child, LPARAM found)
    {
        wchar_t name[16] = {};
        if (::IsWindowVisible(child) && ::GetClassNameW(child, name, 16) && std::wstring(name) == L"Edit") {
            *reinterpret_cast<HWND *>(found) = child;
            return FALSE;
        }
        return TRUE;
    }

    void drive()
    {
        HWND dialog = nullptr;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!dialog && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ::EnumWindows(collect, reinterpret_cast<LPARAM>(&dialog));
        }
        if (!dialog)
            return;
        found_ = true;
        HWND edit = nullptr;
        ::EnumChildWindows(dialog, findEdit, reinterpret_cast<LPARAM>(&edit));
        if (path_.isEmpty() || !edit) {
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path_.utf16()));
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
    }

    QString path_;
    std::atomic<bool> found_{false};
    std::thread thread_;
};

// One registry key of the test's own, with the text and number values given,
// written where a 64-bit driver on 64-bit Windows writes it: the 32-bit
// program must read it there.
bool writeKey(const QString &path, const QString &portName, int latency)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t *>(path.utf16()), 0, nullptr, 0,
                          KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    bool written
        = ::RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE *>(portName.utf16()),
                           DWORD((portName.size() + 1) * sizeof(wchar_t)))
        == ERROR_SUCCESS;
    const DWORD value = DWORD(latency);
    if (latency >= 0)
        written = written
            && ::RegSetValueExW(key, L"LatencyTimer", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                                sizeof value)
                == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return written;
}

QString tooltipOf(Form2 &form2, int portNo)
{
    return form2.COMBO1(1)->itemData(portNo - 1, Qt::ToolTipRole).toString();
}

}   // namespace

class TestWindowsDesk : public QObject {
    Q_OBJECT

private slots:
    void systemDialogCancelledAndCompleted();
    void openAndExitInTheWindow();
    void portTooltipsNameComPorts();
    void portsNoNumberReachesAreNamed();
    void ftdiLatencyTimersAreRead();
    void noFaultyAdapterIsPresent();
};

// Cancelling leaves the preset; a typed path comes back whole.
void TestWindowsDesk::systemDialogCancelledAndCompleted()
{
    Win32CommonDialog dialog(nullptr);
    dialog.setFileName(kPreset);
    {
        DialogDriver cancel{QString()};
        dialog.ShowOpen();
        QVERIFY(cancel.found());
    }
    QCOMPARE(dialog.FileName(), kPreset);

    QTemporaryDir dir;
    const QString path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("程序.OBJ")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("1\r\n2\r\n") == 6);
    file.close();
    {
        DialogDriver choose{path};
        dialog.ShowOpen();
        QVERIFY(choose.found());
    }
    QCOMPARE(QDir::toNativeSeparators(dialog.FileName()), path);
}

// The window's own dialog: Open cancelled, Open completed, then Exit.
void TestWindowsDesk::openAndExitInTheWindow()
{
    QTemporaryDir dir;
    const QString path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("传感器.OBJ")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("100,200\r\n300\r\n") > 0);
    file.close();

    QStringList messages;
    int ends = 0;
    Form1Services services;
    services.messageBox = [&](const QString &text, const QString &) { messages << text; };
    services.endProgram = [&] { ++ends; };
    Form1 form(services);
    form.show();
    {
        DialogDriver cancel{QString()};
        form.OPEN_Click();
        QVERIFY(cancel.found());
    }
    QCOMPARE(form.ui.Label8->text(), QStringLiteral("0"));
    QVERIFY(form.ui.Label2->text().isEmpty());
    {
        DialogDriver choose{path};
        form.OPEN_Click();
        QVERIFY(choose.found());
    }
    QCOMPARE(QDir::toNativeSeparators(form.ui.Label2->text()), path);
    QCOMPARE(form.ui.Label8->text(), QStringLiteral("3"));
    QVERIFY(messages.isEmpty());
    form.EXIT_Click();
    QCOMPARE(ends, 1);
}

// Port n is COMn, named as Windows names it where it says.
void TestWindowsDesk::portTooltipsNameComPorts()
{
    Form2 form2;
    form2.show();
    const QString tip = tooltipOf(form2, 3);
    qInfo("port 3: %s", qPrintable(tip));
    QVERIFY2(tip.startsWith(QStringLiteral("串口 3: COM3")), qPrintable(tip));
}

// The script maps COM7 to a line: numbers 1 to 4 cannot reach it, so the box
// and every number without a port name it, with how to renumber it.
void TestWindowsDesk::portsNoNumberReachesAreNamed()
{
    const QList<SystemPort> ports = systemPorts();
    QStringList listed;
    for (const SystemPort &port : ports)
        listed << port.location;
    qInfo("system ports: %s", qPrintable(listed.join(QLatin1Char(' '))));
    QVERIFY2(listed.contains(QStringLiteral("COM7")), qPrintable(listed.join(QLatin1Char(' '))));
    Form2 form2;
    form2.show();
    const QString boxTip = form2.COMBO1(1)->toolTip();
    QVERIFY2(boxTip.contains(QStringLiteral("\n    COM7")) && boxTip.contains(QStringLiteral("COM 端口号")),
             qPrintable(boxTip));
    const QString emptyTip = tooltipOf(form2, 4);
    QVERIFY2(emptyTip.startsWith(QStringLiteral("串口 4: 没有这个串口"))
                 && emptyTip.contains(QStringLiteral("COM7")),
             qPrintable(emptyTip));
}

// An FTDI adapter at COM3 with 16 ms, one at COM4 with 1 ms, and a port of
// another maker at COM5, entered where their drivers keep them.
void TestWindowsDesk::ftdiLatencyTimersAreRead()
{
    const QString ftdi = QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\");
    QVERIFY(writeKey(ftdi + QStringLiteral("VID_0403+PID_6001+KD7A\\0000\\Device Parameters"), "COM3", 16));
    QVERIFY(writeKey(ftdi + QStringLiteral("VID_0403+PID_6015+KD7B\\0000\\Device Parameters"), "COM4", 1));
    QVERIFY(writeKey(
        QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1A86&PID_7523\\KD7C\\Device Parameters"),
        "COM5", -1));
    const QHash<QString, int> timers = ftdiLatencyTimers();
    QCOMPARE(timers.value(QStringLiteral("COM3"), -1), 16);
    QCOMPARE(timers.value(QStringLiteral("COM4"), -1), 1);
    QVERIFY(!timers.contains(QStringLiteral("COM5")));

    PortSurvey survey;
    survey.reached = QStringList{QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                                 QStringLiteral("COM4")};
    for (const QString &port : survey.reached)
        survey.ports.append(
            {port, QString(), timers.contains(port) ? std::optional<int>(timers.value(port)) : std::nullopt});
    QVERIFY2(survey.describePort(3).contains(QStringLiteral("16 毫秒")), qPrintable(survey.describePort(3)));
    QVERIFY(!survey.describePort(4).contains(QStringLiteral("延迟计时器")));
}

// Every device present, read as Device Manager reads it: Wine has no serial
// adapter with a problem, so nothing stands in the ports' way.
void TestWindowsDesk::noFaultyAdapterIsPresent()
{
    qInfo("devices with a problem: %d", int(presentWindowsDevices().size()));
    const PortTroubles troubles = systemPortTroubles();
    QCOMPARE(troubles.strandedAdapters(), QStringList());
    QCOMPARE(troubles.troubleAt(QStringLiteral("COM1")), QString());
}

QTEST_MAIN(TestWindowsDesk)
#include "tst_windowsdesk.moc"
