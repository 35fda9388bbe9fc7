#include "app/form1ui.h"

#include "app/commandbutton.h"
#include "app/deviceicon.h"
#include "app/formcolors.h"
#include "app/printsurface.h"
#include "ui/fonts.h"
#include "ui/twips.h"

#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>

namespace {

constexpr double kWindowPoints = 14.25;

QLabel *label(QWidget *parent, const char *name, const QString &text, QRect geometry,
              const QColor &background)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setFrameShape(QFrame::NoFrame);
    l->setMargin(0);
    l->setIndent(0);
    l->setTextFormat(Qt::PlainText);
    l->setAutoFillBackground(true);
    QPalette palette = l->palette();
    palette.setColor(QPalette::Window, background);
    l->setPalette(palette);
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *b = new CommandButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}   // namespace

void Form1Ui::setupUi(QMainWindow *form)
{
    form->setObjectName(QStringLiteral("Form1"));
    form->setWindowTitle(QStringLiteral("KD7用户程序下载"));
    form->setWindowIcon(DeviceIcon::icon());
    form->setFont(Fonts::chinese(Fonts::kSongTi, kWindowPoints));
    const QColor background = FormColors::activeBorder();
    QPalette palette = form->palette();
    palette.setColor(QPalette::Window, background);
    form->setPalette(palette);

    surface = new PrintSurface(form);
    surface->setFixedSize(Twips::size(4965, 4680));
    surface->setAutoFillBackground(true);
    form->setCentralWidget(surface);
    form->layout()->setSizeConstraint(QLayout::SetFixedSize);   // not resizable

    const QColor grey = FormColors::lightGrey();
    Label5 = label(surface, "Label5", QStringLiteral("传感器模拟器程序下载"),
                   Twips::rect(240, 360, 4455, 495), background);
    Label5->setFont(Fonts::chinese(Fonts::kXinWei, 21.75));
    Label1 = label(surface, "Label1", QStringLiteral("文件名:"), Twips::rect(1800, 1080, 1095, 375), grey);
    Label2 = label(surface, "Label2", QString(), Twips::rect(240, 1560, 4455, 375), grey);
    Label2->setFont(Fonts::chinese(Fonts::kSongTi, 12));
    Label7 = label(surface, "Label7", QStringLiteral("程序长度"), Twips::rect(720, 2280, 1215, 375), grey);
    Label8 = label(surface, "Label8", QString(), Twips::rect(2280, 2280, 1575, 375), grey);
    Label6 = label(surface, "Label6", QStringLiteral("字"), Twips::rect(3840, 2280, 375, 375), grey);
    Label3 = label(surface, "Label3", QStringLiteral("传输字数"), Twips::rect(720, 3000, 1215, 375), grey);
    Label4 = label(surface, "Label4", QString(), Twips::rect(2280, 3000, 1935, 375), grey);
    Command1 = button(surface, "Command1", QStringLiteral("下载"), Twips::rect(840, 3720, 1335, 495));
    Command2 = button(surface, "Command2", QStringLiteral("退出"), Twips::rect(2760, 3720, 1335, 495));
    // In the free strip below the buttons.
    progress = new QProgressBar(surface);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setGeometry(16, 290, 297, 12);
    progress->setTextVisible(false);
    progress->setFocusPolicy(Qt::NoFocus);
    progress->hide();

    QWidget::setTabOrder(Command1, Command2);
    Command1->setFocus();

    QMenuBar *bar = form->menuBar();
    WENJIAN = bar->addMenu(QStringLiteral("文件"));
    WENJIAN->setObjectName(QStringLiteral("WENJIAN"));
    OPEN = WENJIAN->addAction(QStringLiteral("打开"));
    OPEN->setObjectName(QStringLiteral("OPEN"));
    SAVE = WENJIAN->addAction(QStringLiteral("保存"));
    SAVE->setObjectName(QStringLiteral("SAVE"));
    EXIT = WENJIAN->addAction(QStringLiteral("退出"));
    EXIT->setObjectName(QStringLiteral("EXIT"));
    CONFIG = bar->addAction(QStringLiteral("设置"));
    CONFIG->setObjectName(QStringLiteral("CONFIG"));
    HELP = bar->addAction(QStringLiteral("帮助"));
    HELP->setObjectName(QStringLiteral("HELP"));
}
