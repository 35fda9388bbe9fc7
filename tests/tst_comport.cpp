// The main window on real COM ports, built for Windows and run under Wine by
// make test-windows: port 1 leads to a simulated device that answers, port 2
// to one that stays silent, and port 9 to nothing. What each device received
// is compared by the script with the bytes this test expects, which it writes
// to the folder KD7_COMPORT_OUT names.
#include "app/form1.h"
#include "download/wireprotocol.h"
#include "serial/module1.h"
#include "serial/portdescription.h"
#include "tests/support/chosenfile.h"

#include <QDir>
#include <QFile>
#include <QLabel>
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

    Form1Services services()
    {
        Form1Services s;
        s.dialog = &dialog;
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
    void downloadsThroughCom1();
    void silentDeviceOnCom2();
    void noPortAtCom9();
    void portTooltipsNameComPorts();
};

// A program in a folder with a Chinese name, written with CRLF line ends.
void TestComPort::downloadsThroughCom1()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("用户程序/传感器.OBJ"));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QRandomGenerator random(7);
    std::vector<quint16> words(kWords);
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
    QCOMPARE(w.form.ui.Label8->text(), QString::number(kWords));
    QCOMPARE(w.form.ui.Label2->text(), path);

    QCOMPARE(w.download(1), QString::number(kWords + 1));
    QVERIFY(w.messages.isEmpty());
    QVERIFY(!w.form.MSComm1().PortOpen());

    QByteArray expected = WireProtocol::preamble() + WireProtocol::handshake();
    words.push_back(0);   // the frame past the loaded words
    for (quint16 word : words)
        expected += WireProtocol::bytes(WireProtocol::wordFrame(word));
    QVERIFY(writeExpected(QStringLiteral("com1-expected.bin"), expected + WireProtocol::endMarker()));
}

void TestComPort::silentDeviceOnCom2()
{
    Window w;
    w.form.image.load({1, 2, 3});
    QCOMPARE(w.download(2), QStringLiteral("0"));
    QVERIFY(w.messages.isEmpty());
    QByteArray expected;
    for (int attempt = 0; attempt < 10; ++attempt)
        expected += WireProtocol::preamble() + WireProtocol::handshake();
    QVERIFY(writeExpected(QStringLiteral("com2-expected.bin"), expected + WireProtocol::preamble()));
}

void TestComPort::noPortAtCom9()
{
    Window w;
    w.form.image.load({1, 2, 3});
    QCOMPARE(w.download(9), QStringLiteral("0"));
    QCOMPARE(w.messages, QStringList{kPortRefused});
}

// Port n is COMn, shown by the name Windows gives it where it knows one.
void TestComPort::portTooltipsNameComPorts()
{
    const QString tip = describePort(systemPortFor, 3);
    qInfo("port 3: %s", qPrintable(tip));
    QVERIFY2(tip.startsWith(QStringLiteral("串口 3: ")) && tip.contains(QStringLiteral("COM3")),
             qPrintable(tip));
}

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
