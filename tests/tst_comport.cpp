// The main window on real serial ports: under Wine (make test-windows) and on
// real Linux drivers in a virtual machine (make hwtest). One port leads to a
// simulated device that answers (port 1, or the port KD7_ANSWERING_DEVICE
// names), one to a device that never acknowledges (port 2, or
// KD7_SILENT_DEVICE), and port 9 to nothing (or KD7_REFUSED_DEVICE names one
// that is held). What each device received is compared by the script with
// the bytes this test expects, which it writes to the folder KD7_COMPORT_OUT
// names. KD7_WORDS sets the program's length; KD7_REPORTS_TRANSMITTER says
// the driver reports its transmitter empty when the line is idle (an 8250
// UART's does);
// KD7_ADAPTER_PORT=n has the answering device chosen in the port window's
// list, where it must be number n. A refused port's message box must give,
// below its text, the cause KD7_REFUSED_SAYS names, and the port window's
// tooltips the one KD7_TOOLTIP_SAYS names.
#include "app/form1.h"
#include "app/printsurface.h"
#include "download/wireprotocol.h"
#include "serial/form2.h"
#include "serial/module1.h"
#include "systemports/portmapping.h"
#include "tests/support/chosenfile.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

constexpr int kWords = 300;
const QString kPortRefused = QStringLiteral("串口不能打开! ");

struct Window {
    ChosenFile dialog;
    QStringList messages;
    QStringList details;   // the line below each message's text
    int ends = 0;
    Form1 form{services()};

    std::function<void()> onEvents = [] {};

    Form1Services services()
    {
        Form1Services s;
        s.dialog = &dialog;
        s.processEvents = [this] {
            QCoreApplication::processEvents();
            onEvents();
        };
        s.messageBox = [this](const QString &text, const QString &detail) {
            messages << text;
            details << detail;
        };
        s.endProgram = [this] { ++ends; };
        return s;
    }

    QString download(int port)
    {
        PortNo = qint16(port);
        form.ui.Command1->click();
        return form.ui.Label4->text();
    }
};

int programWords()
{
    bool given = false;
    const int words = qEnvironmentVariableIntValue("KD7_WORDS", &given);
    return given && words > 1 ? words : kWords;
}

// The port number that opens the device a variable names, as the operator
// finds it in the port window; `fallback` when the variable is not set.
int portFor(const char *variable, int fallback)
{
    const QString device = qEnvironmentVariable(variable);
    if (device.isEmpty())
        return fallback;
    for (int portNo = 1; portNo <= 64; ++portNo)
        if (systemPortFor(portNo) == device)
            return portNo;
    return 0;
}

// Whether Windows ever took the window for one that has stopped responding
// while the watch lasted, asked from a thread of its own every 20 ms.
class HungWatch {
public:
    explicit HungWatch(QWidget &window)
    {
#ifdef Q_OS_WIN
        const HWND handle = HWND(window.winId());
        thread_ = std::thread([this, handle] {
            for (; !stop_; ::Sleep(20))
                hung_ = hung_ || ::IsHungAppWindow(handle);
        });
#else
        Q_UNUSED(window);
#endif
    }
    ~HungWatch() { sawHung(); }
    bool sawHung()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return hung_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> hung_{false};
    std::thread thread_;
};

// The number the operator picks for `device` in the port window: the item of
// the list whose tooltip names the device, clicked, then 确认.
int chosenInPortWindow(Form1 &form, const QString &device)
{
    form.ui.CONFIG->trigger();
    Form2 *form2 = form.form2();
    QComboBox *box = form2->COMBO1(1);
    box->showPopup();   // the tooltips say what each number opens as the list drops down
    for (int i = 0; i < box->count(); ++i) {
        const QString opens = QStringLiteral("串口 %1: %2").arg(i + 1).arg(device);
        if (box->itemData(i, Qt::ToolTipRole).toString().startsWith(opens)) {
            const QRect item = box->view()->visualRect(box->model()->index(i, 0));
            QTest::mouseClick(box->view()->viewport(), Qt::LeftButton, {}, item.center());
            break;
        }
    }
    box->hidePopup();
    QTest::mouseClick(form2->Command1, Qt::LeftButton);
    return PortNo;
}

bool writeExpected(const QString &name, const QByteArray &bytes)
{
    QFile file(QDir(qEnvironmentVariable("KD7_COMPORT_OUT")).filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}   // namespace

class TestComPort : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(qEnvironmentVariableIsSet("KD7_COMPORT_OUT")); }
    void downloadsThroughTheAnsweringPort();
    void silentDevice();
    void missingPort();
    void cablePulled();
};

// A program in a folder with a Chinese name, written with CRLF line ends.
void TestComPort::downloadsThroughTheAnsweringPort()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("用户程序/传感器.OBJ"));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QRandomGenerator random(7);
    const int count = programWords();
    std::vector<quint16> words(size_t(count), 0);
    QByteArray text;
    for (quint16 &w : words) {
        w = quint16(random.bounded(65536));
        text += QByteArray::number(w) + "\r\n";
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();

    Window w;
    w.dialog.next = path;
    w.form.OPEN_Click();
    QCOMPARE(w.form.ui.Label8->text(), QString::number(count));
    QCOMPARE(w.form.ui.Label2->text(), path);

    const int adapterPort = qEnvironmentVariableIntValue("KD7_ADAPTER_PORT");
    const int port = adapterPort > 0
        ? chosenInPortWindow(w.form, qEnvironmentVariable("KD7_ANSWERING_DEVICE"))
        : portFor("KD7_ANSWERING_DEVICE", 1);
    QVERIFY2(port > 0, "the answering device has no port number");
    if (adapterPort > 0)
        QCOMPARE(port, adapterPort);
    QCOMPARE(w.download(port), QString::number(count + 1));
    QVERIFY(w.messages.isEmpty());
    QVERIFY(!w.form.MSComm1().PortOpen());
    // Each acknowledgement raised the receive event once: the handshake's
    // and every frame's.
    QCOMPARE(w.form.ui.surface->linesPrinted(), count + 2);
    QCOMPARE(w.form.ui.surface->visibleLines().last(), QStringLiteral("36"));
    if (qEnvironmentVariableIsSet("KD7_REPORTS_TRANSMITTER")) {   // idle, it has sent everything
        w.form.Openport();
        QCOMPARE(w.form.MSComm1().transmitter(), SerialLine::Transmitter::Empty);
        w.form.Closeport();
    }

    QByteArray expected = WireProtocol::preamble() + WireProtocol::handshake();
    words.push_back(0);   // the frame past the loaded words
    QByteArray stored;    // as the simulated device lists the words it stored
    for (quint16 word : words)
        stored += QByteArray::number(word) + '\n';
    QVERIFY(writeExpected(QStringLiteral("answering-words.txt"), stored));
    for (quint16 word : words)
        expected += WireProtocol::bytes(WireProtocol::wordFrame(word));
    QVERIFY(writeExpected(QStringLiteral("answering-expected.bin"), expected + WireProtocol::endMarker()));
}

// The handshake waits about five seconds in all, processing no window
// events: no receive event runs meanwhile, yet the window never counts as
// not responding (on Windows, which asks).
void TestComPort::silentDevice()
{
    Window w;
    w.form.image.load({1, 2, 3});
    const int port = portFor("KD7_SILENT_DEVICE", 2);
    QVERIFY2(port > 0, "the silent device has no port number");
    int receivedDuring = 0;
    connect(&w.form.MSComm1(), &SerialLine::OnComm, this,
            [&] { receivedDuring += w.form.MSComm1().PortOpen(); });
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    HungWatch watch(w.form);
    QCOMPARE(w.download(port), QStringLiteral("0"));
    QVERIFY2(!watch.sawHung(), "the window counted as not responding during the handshake");
    QCOMPARE(receivedDuring, 0);
    QVERIFY(w.messages.isEmpty());
    QByteArray expected;
    for (int attempt = 0; attempt < 10; ++attempt)
        expected += WireProtocol::preamble() + WireProtocol::handshake();
    QVERIFY(writeExpected(QStringLiteral("silent-expected.bin"), expected + WireProtocol::preamble()));
}

void TestComPort::missingPort()
{
    Window w;
    w.form.image.load({1, 2, 3});
    const int port = qEnvironmentVariableIsSet("KD7_REFUSED_PORT")
        ? qEnvironmentVariableIntValue("KD7_REFUSED_PORT")
        : portFor("KD7_REFUSED_DEVICE", 9);
    QVERIFY2(port > 0, "the refused device has no port number");
    QCOMPARE(w.download(port), QStringLiteral("0"));
    QCOMPARE(w.messages, QStringList{kPortRefused});
    const QString cause = w.details.value(0);
    QVERIFY2(cause.contains(qEnvironmentVariable("KD7_REFUSED_SAYS")), qPrintable(cause));
    QVERIFY(writeExpected(QStringLiteral("refused-cause.txt"), cause.toUtf8()));

    w.form.ui.CONFIG->trigger();
    QComboBox *box = w.form.form2()->COMBO1(1);
    box->showPopup();   // the tooltips are made afresh as the list drops down
    box->hidePopup();
    QString tips = box->toolTip();
    for (int i = 0; i < box->count(); ++i)
        tips += QLatin1Char('\n') + box->itemData(i, Qt::ToolTipRole).toString();
    QVERIFY2(tips.contains(qEnvironmentVariable("KD7_TOOLTIP_SAYS")), qPrintable(tips));
}

// The cable pulled in mid-download: make hwtest pulls it when this test asks,
// once the progress bar has passed KD7_PULL_AT words. The download ends at
// once at the words acknowledged, with the port closed, no message box, and
// the window still answering.
void TestComPort::cablePulled()
{
    const int pullAt = qEnvironmentVariableIntValue("KD7_PULL_AT");
    if (pullAt <= 0)
        QSKIP("the cable is pulled only by make hwtest");
    Window w;
    const int count = programWords();
    w.form.image.load(std::vector<quint16>(size_t(count), 0x55AA));
    const int port = portFor("KD7_ANSWERING_DEVICE", 1);
    QVERIFY2(port > 0, "the answering device has no port number");
    QVERIFY(writeExpected(QStringLiteral("adapter-port"), QByteArray::number(port)));
    bool asked = false;
    w.onEvents = [&] {
        if (!asked && w.form.ui.progress->value() >= pullAt)
            asked = writeExpected(QStringLiteral("pull-now"), "pull");
    };
    const QString reached = w.download(port);
    QVERIFY(asked);
    QVERIFY2(reached.toInt() >= pullAt && reached.toInt() <= count, qPrintable(reached));
    QVERIFY(!w.form.MSComm1().PortOpen());
    QVERIFY(w.messages.isEmpty());
    QVERIFY(w.form.ui.Command1->isEnabled());   // the window takes commands again
    QVERIFY(writeExpected(QStringLiteral("pulled-label4"), reached.toUtf8()));
}

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
