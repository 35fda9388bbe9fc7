// kd7load-cli end to end: its classes in this process, on pseudo-terminals
// with the simulated KD7 on their far ends (a silent device's half-second
// waits on a clock ten times faster than real time); the program itself for
// what only a process shows (its exit status, --help, --list).
#include "cli/cliprogram.h"
#include "cli/portlisting.h"
#include "cli/screenrows.h"
#include "cli/summary.h"
#include "common/chinesecatalogues.h"
#include "kd7sim/simulateddevice.h"
#include "systemports/portmapping.h"
#include "systemports/systemports.h"
#include "tests/support/devicebytes.h"
#include "tests/support/scaledclock.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kClockFactor = 10.0;

struct CapturedConsole : Console {
    QString out;
    QString err;
    void print(const QString &text) override { out += text; }
    void complain(const QString &text) override { err += text; }
    bool showsProgress() const override { return false; }
    void redraw(const QStringList &) override {}
};

std::vector<quint16> program(int count)
{
    std::vector<quint16> words;
    for (int i = 0; i < count; ++i)
        words.push_back(quint16(i * 2654435761u >> 16));
    return words;
}

// What a device reads of a whole download: the window's bytes.
QByteArray wholeDownload(const std::vector<quint16> &words)
{
    QByteArray bytes = DeviceBytes::wakeUp();
    for (const quint16 word : words)
        bytes += DeviceBytes::frame(word);
    return bytes + DeviceBytes::frame(0) + DeviceBytes::endMarker();
}

// The simulated devices, one a letter: A answers, S is silent, P answers at
// the pace of a 9600-baud line, H hangs up after answering frame 300; - a device not there.
struct Devices {
    std::vector<std::unique_ptr<SimulatedDevice>> all;
    QStringList paths;

    explicit Devices(const QString &kinds)
    {
        for (const QChar kind : kinds) {
            SimulatedDevice::FaultConfig faults;
            faults.silent = kind == QLatin1Char('S');
            faults.paced = kind == QLatin1Char('P');
            if (kind == QLatin1Char('H'))
                faults.hangUpAfterAnswer = 300;
            all.push_back(std::make_unique<SimulatedDevice>(faults));
            if (!all.back()->start())
                qFatal("no pseudo-terminal: %s", all.back()->lastError().c_str());
            paths << (kind == QLatin1Char('-') ? QStringLiteral("/dev/kd7-not-there")
                                               : QString::fromStdString(all.back()->devicePath()));
        }
    }
    QByteArray received(int i) const { return QByteArray::fromStdString(all[size_t(i)]->transcript()); }
};

struct Run {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("程序%2.OBJ"));   // a marker no text may take for its own
    CapturedConsole console;

    explicit Run(const QByteArray &text)
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size())
            qFatal("cannot write the program");
    }
    explicit Run(const std::vector<quint16> &words) : Run(textOf(words)) {}

    static QByteArray textOf(const std::vector<quint16> &words)
    {
        QByteArray text;
        for (const quint16 word : words)
            text += QByteArray::number(word) + "\r\n";
        return text;
    }
    // kd7load-cli ARGUMENTS..., the waits for the devices named in `fast` on a
    // clock ten times faster than real time, and the others on the real one.
    int operator()(const QStringList &arguments, const QStringList &fast = {})
    {
        CliProgram cli(console, [fast](const PortTarget &port) {
            return std::make_unique<ScaledClock>(fast.contains(port.device) ? kClockFactor : 1.0);
        });
        return cli.run(QStringList{QStringLiteral("kd7load-cli")} + arguments);
    }
    QList<QJsonObject> json() const
    {
        QList<QJsonObject> objects;
        for (const QString &line : console.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            objects << QJsonDocument::fromJson(line.toUtf8()).object();
        return objects;
    }
};

QStringList portOptions(const QStringList &paths)
{
    QStringList options;
    for (const QString &path : paths)
        options << QStringLiteral("-p") << path;
    return options;
}

// The line settings a test gives a port beforehand, which must read the same afterwards.
bool setDistinctive(const QString &path, termios &set)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    bool ok = fd >= 0 && ::tcgetattr(fd, &set) == 0;
    set.c_cflag |= CSTOPB;
    ok = ok && ::cfsetspeed(&set, B19200) == 0 && ::tcsetattr(fd, TCSANOW, &set) == 0
        && ::tcgetattr(fd, &set) == 0;
    ::close(fd);
    return ok;
}

bool sameSettings(const QString &path, const termios &before)
{
    termios now = {};
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool read = fd >= 0 && ::tcgetattr(fd, &now) == 0;
    ::close(fd);
    return read && now.c_cflag == before.c_cflag && now.c_iflag == before.c_iflag
        && now.c_oflag == before.c_oflag && now.c_lflag == before.c_lflag
        && ::cfgetospeed(&now) == ::cfgetospeed(&before);
}

// Runs the program itself, with a bound on its time; in `folder`, the shell names its *.OBJ as bytes.
struct Process {
    QProcess process;
    QString out;
    QString err;

    explicit Process(const QStringList &arguments, const QString &folder = {})
    {
        process.setWorkingDirectory(folder);
        const QString named = folder.isEmpty() ? R"(exec "$0" "$@")" : R"(exec "$0" "$@" *.OBJ)";
        process.start("/bin/sh", QStringList{"-c", named, KD7LOAD_CLI_PATH} + arguments);
        if (!process.waitForFinished(30000))
            process.kill();
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
    }
    int status() const { return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1; }
};

}   // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installChineseCatalogues(*QCoreApplication::instance()); }
    void downloads_data();
    void downloads();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void interruptEndsEveryDownloadAtAFrameBoundary();
    void signalEndsTheProgramAsShellsExpect_data();
    void signalEndsTheProgramAsShellsExpect();
    void progressRowsAsTheTerminalWrapsThem_data();
    void progressRowsAsTheTerminalWrapsThem();
    void summaryNamesTheWordAndThePhase_data();
    void summaryNamesTheWordAndThePhase();
    void listNumbersPortsAsTheWindowDoes_data();
    void listNumbersPortsAsTheWindowDoes();
    void theProgram_data();
    void theProgram();
};

// Each port its own line and waits: a silent or missing device holds no
// other back, and the others receive the window's bytes exactly.
void TestCli::downloads_data()
{
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QStringList>("outcomes");
    QTest::addColumn<int>("status");
    QTest::newRow("one port") << "A" << QStringList{"finished"} << 0;
    QTest::newRow("three ports at once") << "AAA" << QStringList{"finished", "finished", "finished"} << 0;
    QTest::newRow("one silent among three") << "ASA" << QStringList{"finished", "gave_up", "finished"} << 1;
    QTest::newRow("one missing beside one") << "-A" << QStringList{"not_opened", "finished"} << 1;
    QTest::newRow("the line fails as the end marker goes") << "H" << QStringList{"end_marker_failed"} << 1;
}

void TestCli::downloads()
{
    QFETCH(QString, devices);
    QFETCH(QStringList, outcomes);
    const std::vector<quint16> words = program(300);
    Devices line(devices);
    Run run(words);
    const QString silent = line.paths.value(devices.indexOf(QLatin1Char('S')));
    QTEST(run(QStringList{"--json"} + portOptions(line.paths) + QStringList{run.file}, {silent}), "status");
    const QList<QJsonObject> ports = run.json();
    QCOMPARE(ports.size(), devices.size());
    double silentSeconds = 0;
    for (int i = 0; i < ports.size(); ++i) {
        QCOMPARE(ports[i]["device"].toString(), line.paths[i]);
        QCOMPARE(ports[i]["outcome"].toString(), outcomes[i]);
        QCOMPARE(ports[i]["words"].toInt(), 300);
        if (devices[i] == QLatin1Char('S'))
            silentSeconds = ports[i]["seconds"].toDouble();
    }
    for (int i = 0; i < ports.size(); ++i) {
        if (devices[i] == QLatin1Char('A')) {
            QCOMPARE(ports[i]["frames_acknowledged"].toInt(), 301);
            QVERIFY(line.all[size_t(i)]->waitForEndMarker(5.0));
            QCOMPARE(line.received(i), wholeDownload(words));
            QVERIFY(ports[i]["seconds"].toDouble() < silentSeconds / 2 || silentSeconds == 0);
        }
    }
    if (devices == QLatin1String("H"))
        QCOMPARE(line.received(0), wholeDownload(words).chopped(DeviceBytes::endMarker().size()));
    if (devices.contains(QLatin1Char('S')))
        QCOMPARE(line.received(devices.indexOf(QLatin1Char('S'))),
                 DeviceBytes::wakeUp().repeated(10) + DeviceBytes::preamble());
    if (devices.startsWith(QLatin1Char('-')))
        QVERIFY(ports[0]["reason"].toString().startsWith(QStringLiteral("串口不能打开! /dev/kd7-not-there")));
}

void TestCli::refusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("arguments");   // PORT and LINK stand for the device and a link to it
    QTest::addColumn<QString>("said");
    const QByteArray good("1\n2\n3\n");
    QTest::newRow("letters in the file") << QByteArray("1\n2\n3x\n") << QStringList{"-p", "PORT"}
                                         << "文件不能打开! %1: 第 3 行: 有不属于数的字符";
    QTest::newRow("70000 in the file") << QByteArray("1,70000") << QStringList{"-p", "PORT"}
                                       << "文件不能打开! %1: 第 1 行: 数不在 -65536 到 65535 之间";
    QTest::newRow("one word") << QByteArray("7") << QStringList{"-p", "PORT"} << "无数据! %1 只有 1 个数";
    QTest::newRow("the same device twice") << good << QStringList{"-p", "PORT", "-p", "PORT"} << "给了两次";
    QTest::newRow("a device and a link to it")
        << good << QStringList{"-p", "LINK", "-p", "PORT"} << "给了两次";
    QTest::newRow("port 0") << good << QStringList{"-p", "PORT", "-p", "0"} << "\"0\" 不是串口号";
    QTest::newRow("a port given as %1") << good << QStringList{"-p", "%1"} << "不是串口号 (1 到 256)";
    QTest::newRow("a word for a port") << good << QStringList{"-p", "PORT", "-p", "COM1x"} << "不是串口号";
    QTest::newRow("an unknown option") << good << QStringList{"-p", "PORT", "--fast"} << "未知选项";
    QTest::newRow("two files") << good << QStringList{"-p", "PORT", "x.OBJ"} << "只能给一个 .OBJ 文件";
}

void TestCli::refusedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    Devices line(QStringLiteral("A"));
    Run run(text);
    const QString link = run.dir.filePath(QStringLiteral("kd7"));
    QVERIFY(QFile::link(line.paths[0], link));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^PORT$")), line.paths[0]);
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^LINK$")), link);
    QCOMPARE(run(arguments + QStringList{run.file}), 2);
    QVERIFY2(run.console.err.contains(said.replace("%1", run.file)), qPrintable(run.console.err));
    QVERIFY(run.console.out.isEmpty());
    QTest::qWait(100);   // anything sent would have reached the device by now
    QCOMPARE(line.received(0), QByteArray());
}

// Ctrl+C in mid-download: every download ends between frames, each port is
// given back with the settings it had, the summary so far is printed.
void TestCli::interruptEndsEveryDownloadAtAFrameBoundary()
{
    Devices line(QStringLiteral("PS"));
    termios before[2] = {};
    for (int i = 0; i < 2; ++i)
        QVERIFY(setDistinctive(line.paths[i], before[i]));
    Run run(program(2000));
    QTimer interrupter;
    interrupter.callOnTimeout([&] {
        if (line.all[0]->counters().framesReceived >= 50 && interrupter.isActive()) {
            interrupter.stop();
            ::raise(SIGINT);
        }
    });
    interrupter.start(5);
    // On the real clock: the silent device is still in its handshake when the interrupt comes.
    QCOMPARE(run(portOptions(line.paths) + QStringList{run.file}), 130);
    QVERIFY(!interrupter.isActive());
    const QStringList summary = run.console.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(summary.size(), 2);
    QVERIFY2(summary[0].startsWith(line.paths[0] + QStringLiteral(": 在第 ")), qPrintable(summary[0]));
    QVERIFY(summary[1].startsWith(line.paths[1] + QStringLiteral(": 在握手时中断, 传输字数 0")));
    const QByteArray answering = line.received(0);
    QVERIFY(!answering.endsWith(DeviceBytes::endMarker()));
    QCOMPARE((answering.size() - DeviceBytes::wakeUp().size()) % 4, 0);
    QCOMPARE(line.received(1).size() % DeviceBytes::wakeUp().size(), 0);
    QVERIFY(line.all[0]->counters().framesReceived < 2000);
    for (int i = 0; i < 2; ++i)
        QVERIFY2(sameSettings(line.paths[i], before[i]), qPrintable(line.paths[i]));
}

// The program as a shell runs it: a signal ends every download at a frame
// boundary, the summary is printed, then the program dies of that signal,
// so that a script's loop stops too. One ignored at start (nohup) is left so.
void TestCli::signalEndsTheProgramAsShellsExpect_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("ignoredAtStart");
    QTest::newRow("Ctrl+C") << SIGINT << false;
    QTest::newRow("SIGTERM") << SIGTERM << false;
    QTest::newRow("the terminal closed") << SIGHUP << false;
    QTest::newRow("the terminal closed under nohup") << SIGHUP << true;
}

void TestCli::signalEndsTheProgramAsShellsExpect()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, ignoredAtStart);
    Devices line(QStringLiteral("P"));
    Run run(program(300));
    QProcess cli;
    if (ignoredAtStart)
        cli.setChildProcessModifier([] { ::signal(SIGHUP, SIG_IGN); });
    cli.start(QStringLiteral(KD7LOAD_CLI_PATH), portOptions(line.paths) + QStringList{run.file});
    QVERIFY(QTest::qWaitFor([&] { return line.all[0]->counters().framesReceived >= 20; }, 10000));
    ::kill(pid_t(cli.processId()), signalNumber);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitStatus(), ignoredAtStart ? QProcess::NormalExit : QProcess::CrashExit);
    QCOMPARE(cli.exitCode(), ignoredAtStart ? 0 : signalNumber);   // the signal, once it crashed
    QCOMPARE(line.received(0).endsWith(DeviceBytes::endMarker()), ignoredAtStart);
    QVERIFY(QString(cli.readAllStandardOutput()).contains(ignoredAtStart ? "每个字都已应答" : "个字中断"));
}

// A line is counted in the rows the terminal wraps it to, so that the
// redraw moves up as far as the lines drawn last reach.
void TestCli::progressRowsAsTheTerminalWrapsThem_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("rowsOnWindows");
    QTest::newRow("filling the row exactly") << QString(20, QChar(0x4E32)) << 40 << 1 << 2;
    QTest::newRow("a wide character never splits") << QString(41, QChar(0x4E32)) << 41 << 3 << 3;
}

void TestCli::progressRowsAsTheTerminalWrapsThem()
{
    QFETCH(QString, line);
    QFETCH(int, columns);
    QTEST(screenRows({line}, columns, false), "rows");
    QTEST(screenRows({line}, columns, true), "rowsOnWindows");
}

// The word named is the one under way, counted from 1, in the phase it was in.
void TestCli::summaryNamesTheWordAndThePhase_data()
{
    QTest::addColumn<int>("acknowledged");   // -1: the handshake went unanswered
    QTest::addColumn<QString>("text");
    QTest::newRow("no answer to the handshake") << -1 << "设备没有应答握手, 传输字数 0";
    QTest::newRow("the handshake answered, never word 1") << 0 << "第 1 个字 10 次没有应答, 放弃, 传输字数 0";
    QTest::newRow("word 6 never answered") << 5 << "第 6 个字 10 次没有应答, 放弃, 传输字数 5";
}

void TestCli::summaryNamesTheWordAndThePhase()
{
    QFETCH(int, acknowledged);
    PortResult result;
    result.outcome = {DownloadOutcome::End::GaveUp, std::max(acknowledged, 0), acknowledged >= 0};
    QTEST(Summary::outcome(result), "text");
}

// Each port with the number a download opens it by: in name order on
// Linux, COMn on Windows, where numbers can leave gaps.
void TestCli::listNumbersPortsAsTheWindowDoes_data()
{
    QTest::addColumn<QStringList>("locations");
    QTest::addColumn<QString>("numbering");
    QTest::addColumn<QString>("listed");
    QTest::newRow("in name order") << QStringList{"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS2"} << "order"
                                   << "串口 3  /dev/ttyUSB0  USB\n串口 2  /dev/ttyS10\n串口 1  /dev/ttyS2\n";
    QTest::newRow("COM numbers with gaps") << QStringList{"COM3", "COM12"} << "com"
                                           << "串口 3  COM3  USB, 延迟计时器 16 毫秒\n"
                                              "    不能用: COM3 正被 putty 使用.\n串口 12  COM12\n"
                                              "USB 串口适配器 X 插着, 但没有串口.\n";
}

void TestCli::listNumbersPortsAsTheWindowDoes()
{
    QFETCH(QStringList, locations);
    QFETCH(QString, numbering);
    QList<SystemPort> ports;
    for (const QString &location : locations)
        ports.append({location, location.contains("USB") ? "USB" : "", std::nullopt});
    PortMapping numbers = [&locations](int n) { return portAmong(locations, n); };
    PortTroubles troubles;
    if (numbering == QLatin1String("com")) {
        numbers = [](int n) { return QStringLiteral("COM%1").arg(n); };
        ports[0] = {"COM3", "USB", 16};
        troubles.at = [](const QString &at) { return at == "COM3" ? "COM3 正被 putty 使用." : QString(); };
        troubles.adaptersWithoutPort = [] { return QStringList{"USB 串口适配器 X 插着, 但没有串口."}; };
    }
    const PortListing listing(ports, numbers, troubles);
    QTEST(listing.text(), "listed");
    const QString json = listing.jsonLines();
    QCOMPARE(QJsonDocument::fromJson(json.section('\n', 0, 0).toUtf8())["port"].toInt(), 3);
    QCOMPARE(json.contains("adapter_without_port"), numbering == QLatin1String("com"));
}

// The program as a script runs it: the exit status, Chinese texts, and
// this machine's ports with the numbers the window gives them.
void TestCli::theProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "用法";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "kd7load-cli 1.";
    QTest::newRow("no file") << QStringList{} << 2 << "没有给要下载的 .OBJ 文件";
    QTest::newRow("no such file") << QStringList{"-p", "/dev/null", "/nowhere/P.OBJ"} << 2
                                  << "文件不能打开! /nowhere/P.OBJ: 文件不存在";
    QTest::newRow("list") << QStringList{"--list", "--json"} << 0 << "";
    QTest::newRow("a file name in GBK: read, the port refused")
        << QStringList{"-p", "/dev/null"} << 1 << "串口不能打开";
}

void TestCli::theProgram()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    const QByteArray gbk = QFile::encodeName(dir.path()) + "/\xb3\xcc\xd0\xf2.OBJ";   // 程序.OBJ
    const bool named = QByteArray(QTest::currentDataTag()).contains("GBK");
    const int fd = named ? ::open(gbk.constData(), O_WRONLY | O_CREAT, 0600) : -1;
    QVERIFY(!named || (::write(fd, "1\n2\n", 4) == 4 && ::close(fd) == 0));
    const Process cli(arguments, named ? dir.path() : QString());
    ::unlink(gbk.constData());   // a name QTemporaryDir cannot take as text
    QTEST(cli.status(), "status");
    QFETCH(QString, said);
    QVERIFY2((cli.out + cli.err).contains(said), qPrintable(cli.out + cli.err));
    if (!arguments.contains(QStringLiteral("--list")))
        return;
    const QList<SystemPort> ports = systemPorts();
    const QStringList lines = cli.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), ports.size() + systemPortTroubles().strandedAdapters().size());
    for (int i = 0; i < ports.size(); ++i) {
        const QJsonObject port = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        QCOMPARE(port["device"].toString(), ports[i].location);
        QCOMPARE(systemPortFor(port["port"].toInt()), ports[i].location);
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
