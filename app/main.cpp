#include "app/deviceicon.h"
#include "app/form1.h"
#include "common/chinesecatalogues.h"

#include <QApplication>

#include <cstdio>

namespace {

// Without a display Qt would abort with a long message; one line says it better.
bool displayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

}   // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fputs("kd7load: 没有图形显示 (no display: DISPLAY is not set), 无法打开窗口.\n", stderr);
        return 1;
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 scales the window by the screen's exact factor by itself. Qt 5
    // must be asked, or the layout clips its texts at 125 % and 150 %.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kd7load"));
    QApplication::setApplicationDisplayName(QString());
    installChineseCatalogues(app);
    QApplication::setWindowIcon(DeviceIcon::icon());

    Form1 form;
    form.show();
    return app.exec();
}
