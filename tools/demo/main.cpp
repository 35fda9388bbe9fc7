// The download tool on a simulated KD7: port 1 is a pseudo-terminal with the
// simulated device on its far end, answering at the real 9600-baud pace.
// With a display the operator uses the tool as usual; without one the demo
// downloads the sample program by itself, reports and saves a picture.
#include "app/deviceicon.h"
#include "app/form1.h"
#include "common/chinesecatalogues.h"
#include "firstchoicedialog.h"
#include "kd7sim/simulateddevice.h"
#include "kd7sim/simulatedport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

const QString kDemoTitle = QStringLiteral("KD7用户程序下载 — 演示: 模拟设备, 不是真实下载");

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::vector<quint16> loadedWords(const Form1 &form)
{
    std::vector<quint16> words;
    for (int i = 0; i < form.image.WordCount; ++i)
        words.push_back(quint16(form.image.ProgWords[size_t(i)]));
    return words;
}

// Downloads the sample without an operator and reports what the device got.
int runHeadless(Form1 &form, SimulatedDevice &device, const QString &picture)
{
    form.show();
    form.ui.OPEN->trigger();
    QElapsedTimer timer;
    timer.start();
    form.ui.Command1->click();
    const double seconds = timer.elapsed() / 1000.0;
    device.waitForEndMarker(2.0);

    std::vector<quint16> expected = loadedWords(form);
    expected.push_back(0);   // the frame past the last word
    const std::vector<std::uint16_t> received = device.words();
    const bool exact = std::equal(expected.begin(), expected.end(), received.begin(), received.end());
    std::printf("程序: %s (%s 字)\n", qPrintable(form.ui.Label2->text()), qPrintable(form.ui.Label8->text()));
    std::printf("传输字数 (Label4): %s\n", qPrintable(form.ui.Label4->text()));
    std::printf("模拟设备收到: %zu 字, %s\n", received.size(), exact ? "与文件一致" : "与文件不一致!");
    std::printf("用时: %.2f s (9600 波特率下线路极限 %.2f s)\n", seconds,
                received.size() * 5 / 960.0 + 104 / 960.0);
    if (!picture.isEmpty()) {
        QDir().mkpath(QFileInfo(picture).path());
        if (form.grab().save(picture))
            std::printf("窗口图片: %s\n", qPrintable(QFileInfo(picture).absoluteFilePath()));
    }
    return exact && form.ui.Label4->text() == QString::number(expected.size()) ? 0 : 1;
}

}   // namespace

int main(int argc, char *argv[])
{
    const bool headless = !hasDisplay() || (argc > 1 && QByteArray(argv[1]) == "--headless");
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installChineseCatalogues(app);
    QApplication::setWindowIcon(DeviceIcon::icon());

    QCommandLineParser options;
    options.addOption({"headless", "Download the sample without a display."});
    options.addOption({"sample", "The program to load first.", "file", QStringLiteral(KD7_DEMO_SAMPLE)});
    options.addOption({"picture", "Where the headless run saves the window.", "png", "kd7demo.png"});
    options.process(app);

    SimulatedDevice::FaultConfig realPace;
    realPace.paced = true;
    SimulatedDevice device(realPace);
    if (!device.start()) {
        std::fprintf(stderr, "kd7demo: 不能打开模拟设备: %s\n", device.lastError().c_str());
        return 1;
    }
    std::printf("模拟 KD7 设备在 %s (串口 1)\n", device.devicePath().c_str());

    Form1 *formPointer = nullptr;
    FirstChoiceDialog dialog(nullptr, options.value("sample"));
    Form1Services services;
    services.dialog = &dialog;
    services.portMapping = portOneOn(device);
    Form1 form(services);
    formPointer = &form;
    form.setWindowTitle(kDemoTitle);
    if (headless)
        return runHeadless(form, device, options.value("picture"));
    form.show();
    QTimer::singleShot(0, formPointer, [formPointer] { formPointer->ui.OPEN->trigger(); });
    return app.exec();
}
