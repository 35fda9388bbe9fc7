#include "app/deviceicon.h"
#include "app/downloadprogress.h"
#include "app/form1.h"
#include "app/messagebox.h"
#include "app/printsurface.h"
#include "common/chinesecatalogues.h"
#include "serial/module1.h"
#include "tests/support/captions.h"
#include "tests/support/devicebytes.h"
#include "tests/support/windowonfakes.h"
#include "ui/fonts.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

struct Window : WindowOnFakes {
    template <typename T> T *control(const char *name) { return form.findChild<T *>(QLatin1String(name)); }

    void open(const QString &path)
    {
        dialog.next = path;
        form.ui.OPEN->trigger();
    }
};

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text);
    return path;
}

QByteArray numbers(int count, int first)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(first + i) + "\r\n";
    return text;
}

bool supportsChinese(const QFont &font)
{
    const QString family = QFontInfo(font).family();
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
}

}   // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void controls_data();
    void controls();
    void windowIsFixedAtItsClientSize();
    void chineseTextsHaveGlyphs();
    void faceSeenOnEachDesk_data();
    void faceSeenOnEachDesk();
    void menus();
    void startState();
    void saveAndHelpDoNothing();
    void opening_data();
    void opening();
    void failedLoadKeepsTheLoadedProgram();
    void shorterFileClearsTheLongerOnesWords();
    void downloadWithoutDataSaysSo();
    void commandsAreDisabledDuringADownload();
    void keysNeverEndTheProgram_data();
    void keysNeverEndTheProgram();
    void inputQueuedDuringAWaitDoesNothing_data();
    void inputQueuedDuringAWaitDoesNothing();
    void progressBarShowsOnlyDuringADownload();
    void progressMovesAtMostTenTimesASecond();
    void exitEndsTheProgram_data();
    void exitEndsTheProgram();
    void receiveEventPrintsTheLastByte();
    void printingPastTheBottomKeepsNothing();
    void messageBoxSpeaksChinese();
    void iconHasSixteenColours();
    void captionsShowWhole();
};

void TestForm1::initTestCase() { QVERIFY(installChineseCatalogues(*qApp)); }

void TestForm1::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");
    QTest::addColumn<QColor>("background");

    const QColor grey(224, 224, 224);
    const QColor none;
    const QString song = QStringLiteral("宋体");
    QTest::newRow("Label5") << "Label5" << QRect(16, 24, 297, 33) << "传感器模拟器程序下载"
                            << "华文新魏" << 21.75 << QColor(212, 208, 200);
    QTest::newRow("Label1") << "Label1" << QRect(120, 72, 73, 25) << "文件名:" << song << 14.25 << grey;
    QTest::newRow("Label2") << "Label2" << QRect(16, 104, 297, 25) << "" << song << 12.0 << grey;
    QTest::newRow("Label7") << "Label7" << QRect(48, 152, 81, 25) << "程序长度" << song << 14.25 << grey;
    QTest::newRow("Label8") << "Label8" << QRect(152, 152, 105, 25) << "" << song << 14.25 << grey;
    QTest::newRow("Label6") << "Label6" << QRect(256, 152, 25, 25) << "字" << song << 14.25 << grey;
    QTest::newRow("Label3") << "Label3" << QRect(48, 200, 81, 25) << "传输字数" << song << 14.25 << grey;
    QTest::newRow("Label4") << "Label4" << QRect(152, 200, 129, 25) << "" << song << 14.25 << grey;
    QTest::newRow("Command1") << "Command1" << QRect(56, 248, 89, 33) << "下载" << song << 14.25 << none;
    QTest::newRow("Command2") << "Command2" << QRect(184, 248, 89, 33) << "退出" << song << 14.25 << none;
}

void TestForm1::controls()
{
    QFETCH(QString, name);
    QFETCH(QColor, background);
    Window w;
    QWidget *widget = w.form.findChild<QWidget *>(name);
    QVERIFY(widget);
    QTEST(widget->geometry(), "geometry");
    QTEST(widget->font().families().value(0), "family");
    QTEST(widget->font().pointSizeF(), "points");
    QVERIFY(supportsChinese(widget->font()));
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QTEST(label->text(), "text");
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
        QVERIFY(label->autoFillBackground());
        QCOMPARE(label->palette().color(QPalette::Window), background);
    } else {
        auto *button = qobject_cast<QPushButton *>(widget);
        QTEST(button->text(), "text");
        QVERIFY(!button->isDefault() && !button->autoDefault());
    }
}

void TestForm1::windowIsFixedAtItsClientSize()
{
    Window w;
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    QCOMPARE(w.form.centralWidget()->size(), QSize(331, 312));
    QCOMPARE(w.form.minimumSize(), w.form.maximumSize());
    QCOMPARE(w.form.centralWidget()->y(), w.form.menuBar()->height());
    QCOMPARE(w.form.windowTitle(), QStringLiteral("KD7用户程序下载"));
    QCOMPARE(w.form.palette().color(QPalette::Window), QColor(212, 208, 200));
}

// Which face a window font shows with the Chinese faces a system has.
void TestForm1::faceSeenOnEachDesk_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("seen");
    const QStringList stockWindows{QStringLiteral("SimSun"),          QStringLiteral("NSimSun"),
                                   QStringLiteral("Microsoft YaHei"), QStringLiteral("DengXian"),
                                   QStringLiteral("KaiTi"),           QStringLiteral("FangSong"),
                                   QStringLiteral("SimHei")};
    const QStringList notoOnly{QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans Mono CJK SC"),
                               QStringLiteral("Noto Serif CJK SC")};
    QTest::newRow("heading on a stock Chinese Windows") << Fonts::kXinWei << stockWindows << "KaiTi";
    QTest::newRow("heading with Office's STXinwei")
        << Fonts::kXinWei << stockWindows + QStringList{QStringLiteral("STXinwei")} << "STXinwei";
    QTest::newRow("heading, faces listed by their Chinese names")
        << Fonts::kXinWei
        << QStringList{QStringLiteral("宋体"), QStringLiteral("微软雅黑"), QStringLiteral("仿宋"),
                       QStringLiteral("楷体")}
        << "楷体";
    QTest::newRow("heading without a KaiTi face")
        << Fonts::kXinWei << QStringList{QStringLiteral("SimSun"), QStringLiteral("FangSong")} << "FangSong";
    QTest::newRow("heading on a Debian desktop with Noto CJK only")
        << Fonts::kXinWei << notoOnly << "Noto Serif CJK SC";
    QTest::newRow("宋体 on a stock Chinese Windows") << Fonts::kSongTi << stockWindows << "SimSun";
    QTest::newRow("a desk whose only Chinese face is on no list")
        << Fonts::kXinWei << QStringList{QStringLiteral("Source Han Serif SC")} << "Source Han Serif SC";
}

void TestForm1::faceSeenOnEachDesk()
{
    QFETCH(QString, family);
    QFETCH(QStringList, installed);
    const QStringList chain = Fonts::fallbackChain(family, installed);
    const auto seen = std::find_if(chain.begin(), chain.end(), [&](const QString &face) {
        return installed.contains(face, Qt::CaseInsensitive);
    });
    QVERIFY(seen != chain.end());
    QTEST(*seen, "seen");
}

void TestForm1::chineseTextsHaveGlyphs()
{
    Window w;
    QList<QWidget *> widgets = w.form.findChildren<QWidget *>();
    widgets << w.form.menuBar();
    for (QWidget *widget : widgets) {
        QString text;
        if (auto *label = qobject_cast<QLabel *>(widget))
            text = label->text();
        else if (auto *button = qobject_cast<QPushButton *>(widget))
            text = button->text();
        else if (auto *bar = qobject_cast<QMenuBar *>(widget))
            for (QAction *a : bar->actions())
                text += a->text();
        const QFontMetrics metrics(widget->font());
        for (const uint ucs4 : text.toUcs4())
            QVERIFY2(metrics.inFontUcs4(ucs4), qPrintable(widget->objectName() + QChar(ucs4)));
    }
}

void TestForm1::menus()
{
    Window w;
    QStringList top;
    for (QAction *a : w.form.menuBar()->actions())
        top << a->text();
    QCOMPARE(top, (QStringList{"文件", "设置", "帮助"}));
    QVERIFY(!w.form.ui.CONFIG->menu());
    QVERIFY(!w.form.ui.HELP->menu());
    QStringList file;
    for (QAction *a : w.form.ui.WENJIAN->actions())
        file << a->text();
    QCOMPARE(file, (QStringList{"打开", "保存", "退出"}));
    for (QAction *a : w.form.findChildren<QAction *>()) {
        if (a->text().isEmpty())
            continue;
        QVERIFY2(a->shortcut().isEmpty() && !a->isCheckable() && a->isEnabled(), qPrintable(a->text()));
        QVERIFY(!a->text().contains(QLatin1Char('&')));
    }
}

void TestForm1::startState()
{
    PortNo = 7;
    Window w;
    QCOMPARE(w.form.image.WordCount, 0);
    QCOMPARE(PortNo, qint16(1));
    for (const char *name : {"Label2", "Label4", "Label8"})
        QVERIFY(w.control<QLabel>(name)->text().isEmpty());
    w.form.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    QCOMPARE(QApplication::focusWidget(), w.form.ui.Command1);
    QCOMPARE(w.form.ui.Command1->nextInFocusChain(), w.form.ui.Command2);
    QVERIFY(!w.line.PortOpen());
}

void TestForm1::saveAndHelpDoNothing()
{
    Window w;
    w.form.ui.SAVE->trigger();
    w.form.ui.HELP->trigger();
    QCOMPARE(w.dialog.shows, 0);
    QVERIFY(w.messages.isEmpty());
    QVERIFY(w.line.writes.isEmpty());
    QVERIFY(w.form.isEnabled());
    QCOMPARE(w.endProgramCalls, 0);
}

void TestForm1::opening_data()
{
    QTest::addColumn<QString>("name");   // file created under a temporary folder
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("label8");
    QTest::addColumn<bool>("showsPath");
    QTest::addColumn<QStringList>("messages");

    const QStringList none;
    const QStringList refused{QStringLiteral("文件不能打开!")};
    QTest::newRow("three words") << "prog.obj" << QByteArray("1,2,3\r\n") << "3" << true << none;
    QTest::newRow("Chinese path") << "程序/用户程序.OBJ" << QByteArray("4\n5\n") << "2" << true << none;
    QTest::newRow("empty file") << "empty.OBJ" << QByteArray() << "0" << true << none;
    QTest::newRow("malformed") << "bad.OBJ" << QByteArray("1,x") << "0" << false << refused;
    QTest::newRow("word too large") << "big.OBJ" << QByteArray("70000") << "0" << false << refused;
    QTest::newRow("too many numbers") << "long.OBJ" << numbers(32769, 0) << "0" << false << refused;
}

void TestForm1::opening()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(bool, showsPath);
    QTemporaryDir dir;
    Window w;
    const QString path = writeFile(dir, name, text);
    w.open(path);
    QCOMPARE(w.dialog.presetSeen, QStringLiteral("*.OBJ"));
    QTEST(w.form.ui.Label8->text(), "label8");
    QCOMPARE(w.form.ui.Label2->text(), showsPath ? path : QString());
    QTEST(w.messages, "messages");
}

void TestForm1::failedLoadKeepsTheLoadedProgram()
{
    QTemporaryDir dir;
    Window w;
    const QString good = writeFile(dir, "good.OBJ", numbers(5, 10));
    w.open(good);
    const auto before = w.form.image.ProgWords;

    const QStringList failures{writeFile(dir, "bad.OBJ", numbers(3, 1) + "oops"),
                               dir.filePath("missing.OBJ")};
    for (const QString &path : failures) {
        w.open(path);
        QCOMPARE(w.form.image.WordCount, 5);
        QVERIFY(w.form.image.ProgWords == before);
        QCOMPARE(w.form.ui.Label2->text(), good);
        QCOMPARE(w.form.ui.Label8->text(), QStringLiteral("5"));
    }
    QCOMPARE(w.messages.size(), 2);

    // A cancelled dialog, or one that returns no name, only rewrites the count.
    w.form.ui.Label8->setText(QString());
    for (const QString &cancel : {QStringLiteral("*.OBJ"), QStringLiteral("")}) {
        w.open(cancel);
        QCOMPARE(w.form.ui.Label8->text(), QStringLiteral("5"));
        QCOMPARE(w.form.ui.Label2->text(), good);
    }
    QCOMPARE(w.messages.size(), 2);
}

void TestForm1::shorterFileClearsTheLongerOnesWords()
{
    QTemporaryDir dir;
    Window w;
    w.open(writeFile(dir, "twenty.OBJ", numbers(20, 100)));
    w.open(writeFile(dir, "ten.OBJ", numbers(10, 1)));
    QCOMPARE(w.form.image.WordCount, 10);
    for (int i = 10; i < 20; ++i)
        QCOMPARE(w.form.image.ProgWords[i], 0);

    w.form.ui.Command1->click();
    QCOMPARE(w.form.ui.Label4->text(), QStringLiteral("11"));
    QCOMPARE(w.line.frames().last(), DeviceBytes::frame(0));
}

void TestForm1::downloadWithoutDataSaysSo()
{
    Window w;
    w.form.ui.Command1->click();
    QCOMPARE(w.form.ui.Label4->text(), QStringLiteral("无数据!"));
    QVERIFY(w.messages.isEmpty());
    QCOMPARE(w.line.opens, 0);
}

void TestForm1::commandsAreDisabledDuringADownload()
{
    QTemporaryDir dir;
    Window w;
    w.open(writeFile(dir, "p.OBJ", numbers(3, 1)));
    QList<bool> seen;
    QStringList label4;
    w.onEvents = [&] {
        seen << w.form.ui.Command1->isEnabled() << w.form.ui.OPEN->isEnabled()
             << w.form.ui.CONFIG->isEnabled();
        label4 << w.form.ui.Label4->text();
        QVERIFY(w.form.ui.EXIT->isEnabled() && w.form.ui.Command2->isEnabled());
    };
    w.form.ui.Command1->click();
    QVERIFY(!seen.isEmpty());
    QVERIFY(!seen.contains(true));
    QCOMPARE(label4.count(QStringLiteral("0")), label4.size());   // "0" until the end
    QVERIFY(!label4.contains(QString()));
    QCOMPARE(w.form.ui.Label4->text(), QStringLiteral("4"));
    QVERIFY(w.form.ui.Command1->isEnabled() && w.form.ui.OPEN->isEnabled() && w.form.ui.CONFIG->isEnabled());
}

void TestForm1::keysNeverEndTheProgram_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

// The key goes where the keyboard focus is, as a real key press would.
void TestForm1::keysNeverEndTheProgram()
{
    QFETCH(int, key);
    QTemporaryDir dir;
    Window w;
    w.open(writeFile(dir, "p.OBJ", numbers(3, 1)));
    w.form.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    const auto press = [&](int k) { QTest::keyClick(w.form.windowHandle(), Qt::Key(k)); };
    bool pressedDuring = false;
    w.onEvents = [&] {
        if (std::exchange(pressedDuring, true))
            return;
        for (int k : {key, int(Qt::Key_Tab), key, int(Qt::Key_Escape), key})
            press(k);
    };
    press(key);   // 下载 has the focus at start
    QVERIFY(pressedDuring);
    QCOMPARE(w.line.opens, 1);
    QCOMPARE(w.form.ui.Label4->text(), QStringLiteral("4"));
    QCOMPARE(QApplication::focusWidget(), w.form.ui.Command1);

    press(key);   // and again after a download, which sends the same program again
    QCOMPARE(w.line.opens, 2);
    QCOMPARE(w.line.frames().size(), 8);
    w.line.openable = false;
    press(key);   // and after one that could not open the port
    QCOMPARE(w.messages, QStringList{QStringLiteral("串口不能打开! ")});
    QCOMPARE(QApplication::focusWidget(), w.form.ui.Command1);
    QCOMPARE(w.endProgramCalls, 0);
    QVERIFY(w.form.isVisible());
}

void TestForm1::inputQueuedDuringAWaitDoesNothing_data()
{
    QTest::addColumn<QString>("input");
    // Queued during the handshake of a silent device, else during word 1's wait.
    QTest::addColumn<bool>("silent");
    for (const char *input : {"click on 下载", "Space", "Enter"}) {
        QTest::addRow("%s during a silent handshake", input) << input << true;
        QTest::addRow("%s during a word's wait", input) << input << false;
    }
}

// The waits for answers process no window events: what the operator does
// meanwhile stays queued, as a window system queues it, and must not act
// once the download has ended. The window shows the download under way
// (下载 greyed, the progress bar) before the first of those waits.
void TestForm1::inputQueuedDuringAWaitDoesNothing()
{
    QFETCH(QString, input);
    QFETCH(bool, silent);
    QTemporaryDir dir;
    Window w;
    w.open(writeFile(dir, "p.OBJ", numbers(3, 1)));
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    QWindow *window = w.form.windowHandle();
    const QRect command1(w.form.ui.Command1->mapTo(&w.form, QPoint()), w.form.ui.Command1->size());
    const auto shown = [&] { return window->screen()->grabWindow(w.form.winId()).toImage().copy(command1); };
    QCoreApplication::processEvents();
    const QImage atRest = shown();
    QImage atHandshake;
    const auto queueInput = [&] {
        const QPoint at = command1.center();
        const int key = input == QStringLiteral("Space") ? Qt::Key_Space : Qt::Key_Return;
        if (input.startsWith(QStringLiteral("click"))) {
            for (auto [type, held] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                      std::pair{QEvent::MouseButtonRelease, Qt::NoButton}})
                QCoreApplication::postEvent(
                    window,
                    new QMouseEvent(type, at, w.form.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier));
        } else {
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
                QCoreApplication::postEvent(window, new QKeyEvent(type, key, Qt::NoModifier));
        }
    };
    const AnswerPolicy device = silent ? Devices::silent() : Devices::answersEverything();
    w.line.setPolicy([&](HostMessage kind, int frame) {
        if (kind == HostMessage::Handshake && atHandshake.isNull()) {
            atHandshake = shown();
            if (silent)
                queueInput();
        }
        if (kind == HostMessage::WordFrame && frame == 1 && !silent)
            queueInput();
        return device(kind, frame);
    });
    w.form.ui.Command1->click();
    QCoreApplication::processEvents();   // what the window does next
    QCOMPARE(w.line.opens, 1);
    QCOMPARE(w.form.ui.Label4->text(), silent ? QStringLiteral("0") : QStringLiteral("4"));
    QCOMPARE(QApplication::focusWidget(), w.form.ui.Command1);
    QVERIFY2(atHandshake != atRest, "the window did not show the download before the first wait");
    w.form.ui.Command1->setEnabled(false);
    w.form.repaint();
    QVERIFY2(shown() == atHandshake, "下载 did not show greyed before the first wait");
}

void TestForm1::progressBarShowsOnlyDuringADownload()
{
    QTemporaryDir dir;
    Window w;
    w.open(writeFile(dir, "p.OBJ", numbers(40, 1)));
    QProgressBar *bar = w.form.ui.progress;
    QVERIFY(bar->isHidden());
    QList<bool> shown;
    QList<int> startsAt;   // each download's first value shown
    w.onEvents = [&] {
        shown << !bar->isHidden();
        if (shown.size() == 1)
            startsAt << bar->value();
    };
    QList<int> values;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values << v; });
    w.form.ui.Command1->click();
    QVERIFY(!shown.isEmpty() && !shown.contains(false));
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->maximum(), 41);
    QCOMPARE(values.last(), 41);   // ends full
    shown.clear();
    w.form.ui.Command1->click();   // the same program again starts from empty
    QCOMPARE(startsAt, (QList<int>{0, 0}));
    QVERIFY(bar->y() >= w.form.ui.Command1->geometry().bottom());
    QVERIFY(bar->geometry().bottom() < w.form.centralWidget()->height());
}

void TestForm1::progressMovesAtMostTenTimesASecond()
{
    FakeClock clock;
    QProgressBar bar;
    DownloadProgress progress(bar, clock);
    progress.start(1001);
    int changes = 0;
    connect(&bar, &QProgressBar::valueChanged, this, [&] { ++changes; });
    for (int acked = 1; acked <= 1000; ++acked) {   // one frame a millisecond
        clock.sleepFor(0.001);
        progress.update(acked, 1001);
    }
    QVERIFY2(changes >= 9 && changes <= 11, qPrintable(QString::number(changes)));
    progress.update(1001, 1001);
    QCOMPARE(bar.value(), 1001);
}

void TestForm1::exitEndsTheProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit button") << "Command2";
    QTest::newRow("File > Exit") << "EXIT";
    QTest::newRow("close box") << "close";
    QTest::newRow("Exit during a download") << "during";
}

void TestForm1::exitEndsTheProgram()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    Window w;
    w.form.show();
    if (how == "Command2") {
        w.form.ui.Command2->click();
    } else if (how == "EXIT") {
        w.form.ui.EXIT->trigger();
    } else if (how == "close") {
        QVERIFY(w.form.close());
    } else {
        w.open(writeFile(dir, "p.OBJ", numbers(10, 1)));
        w.line.secondsPerByte = DownloadProcedure::kSecondsPerByte;
        w.onEvents = [&] {
            if (w.line.frames().size() == 3)
                w.form.ui.Command2->click();
        };
        w.form.ui.Command1->click();
        QCOMPARE(w.line.frames().size(), 3);   // nothing more was sent after Exit
        QCOMPARE(w.form.ui.Label4->text(), QStringLiteral("0"));
        QCOMPARE(w.line.closesWhileSending, 0);   // the port closed once the third frame had left
    }
    QVERIFY(!w.form.isVisible());
    QCOMPARE(w.endProgramCalls, 1);
    QVERIFY(!w.line.PortOpen());
}

void TestForm1::receiveEventPrintsTheLastByte()
{
    Window w;
    w.form.Openport();   // one byte a read, as the port is always opened
    w.line.deliver(QByteArray("\x15\x06", 2));
    emit w.line.OnComm();
    emit w.line.OnComm();   // nothing left to read: the last byte shows again
    QCOMPARE(w.form.ui.surface->visibleLines(), (QStringList{"36", "36"}));
    QCOMPARE(w.form.rx.RxByte, 6);
    QCOMPARE(w.line.InBufferCount(), 0);

    Window fresh;
    emit fresh.line.OnComm();   // a byte never received counts as 0
    QCOMPARE(fresh.form.ui.surface->visibleLines(), QStringList{"30"});
}

void TestForm1::printingPastTheBottomKeepsNothing()
{
    Window w;
    for (int i = 0; i < 5000; ++i)
        emit w.line.OnComm();
    PrintSurface *surface = w.form.ui.surface;
    QCOMPARE(surface->linesPrinted(), 5000);
    const int fit = surface->height() / surface->fontMetrics().height() + 1;
    QCOMPARE(surface->visibleLines().size(), fit);
}

// The test reads the box once it is the active modal window and presses its
// button. Should no box come, or the button not close it, within 5 s, every
// dialog is closed so that the wait for an answer ends, and the test fails.
void TestForm1::messageBoxSpeaksChinese()
{
    QStringList seen;   // the caption, the text and the buttons' texts
    bool gaveUp = false;
    const QDeadlineTimer bound(5000);
    QTimer look;
    connect(&look, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && seen.isEmpty()) {
            seen << box->windowTitle() << box->text() << box->informativeText();
            const QLabel *text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            const QLabel *below = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
            if (!text || !below || below->geometry().top() < text->geometry().bottom())
                seen << QStringLiteral("the cause is not below the text");
            for (QAbstractButton *button : box->buttons())
                seen << button->text();
            if (!box->buttons().isEmpty())
                box->buttons().first()->click();
        } else if (bound.hasExpired() && !std::exchange(gaveUp, true)) {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *dialog = qobject_cast<QDialog *>(window))
                    dialog->done(QDialog::Rejected);
        }
    });
    look.start(10);
    const QString cause = QStringLiteral("/dev/ttyUSB0 正被 minicom (进程 1234) 使用, 请先关闭它.");
    showMessageBox(nullptr, QStringLiteral("串口不能打开! "), cause);
    QVERIFY2(!seen.isEmpty(), "no message box became the active modal window within 5 s");
    QVERIFY2(!gaveUp, "the message box was still open 5 s after its button was pressed");
    QCOMPARE(seen, (QStringList{"KD7", "串口不能打开! ", cause, "确定"}));
}

void TestForm1::iconHasSixteenColours()
{
    const QImage icon = DeviceIcon::picture(32);
    QCOMPARE(icon.size(), QSize(32, 32));
    QSet<QRgb> opaque;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (qAlpha(icon.pixel(x, y)) == 255)
                opaque.insert(icon.pixel(x, y));
    QVERIFY(opaque.size() >= 4 && opaque.size() <= 16);
}

// Every caption shows whole in its control; the picture is kept for README.
void TestForm1::captionsShowWhole()
{
    Window w;
    w.form.ui.Label2->setText(QStringLiteral("/home/operator/程序/PROG.OBJ"));
    w.form.ui.Label8->setText(QStringLiteral("1024"));
    w.form.ui.Label4->setText(QStringLiteral("1025"));
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    const QStringList clipped = clippedCaptions(w.form);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
    QDir().mkpath(QStringLiteral(KD7_TEST_OUTPUT_DIR));
    const QString path = QStringLiteral(KD7_TEST_OUTPUT_DIR "/form1.png");
    QVERIFY(w.form.grab().save(path));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
