// The main window on real serial ports: under Wine (make test-windows) and on
// real Linux drivers in a virtual machine (make hwtest). One port leads to a
// simulated device that answers (port 1, or the port KD7_ANSWERING_DEVICE
// names), one to a device that stays silent (port 2, or KD7_SILENT_DEVICE),
// and port 9 to nothing (or KD7_REFUSED_DEVICE names one that is held). What each device received is compared
// by the script with the bytes this test expects, which it writes to the folder KD7_COMPORT_OUT names.
// KD7_WORDS sets the program's length.
#include "app/form1.h"
#include "download/wireprotocol.h"
#include "serial/module1.h"
#include "serial/portmapping.h"
#include "tests/support/chosenfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kWords = 300;
const QString kPortRefused = QStringLiteral("串口不能打开! ");

struct Window {
    ChosenFile dialog;
    QStringList messages;
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
        s.messageBox = [this](const QString &text) { messages << text; };
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

    const int port = portFor("KD7_ANSWERING_DEVICE", 1);
    QVERIFY2(port > 0, "the answering device has no port number");
    QCOMPARE(w.download(port), QString::number(count + 1));
    QVERIFY(w.messages.isEmpty());
    QVERIFY(!w.form.MSComm1().PortOpen());

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

void TestComPort::silentDevice()
{
    Window w;
    w.form.image.load({1, 2, 3});
    const int port = portFor("KD7_SILENT_DEVICE", 2);
    QVERIFY2(port > 0, "the silent device has no port number");
    QCOMPARE(w.download(port), QStringLiteral("0"));
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
