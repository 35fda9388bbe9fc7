#include "serial/form2.h"

#include "serial/module1.h"
#include "serial/portnumberbox.h"
#include "ui/fonts.h"
#include "ui/twips.h"

#include <QLabel>
#include <QPushButton>

namespace {

QLabel *label(QWidget *parent, const char *name, const QString &text, QRect geometry, double points)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setFont(Fonts::chinese(Fonts::kSongTi, points));
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setFont(Fonts::chinese(Fonts::kSongTi, 15));
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}   // namespace

Form2::Form2(PortMapping mapping, PortList ports, PortTroubles troubles, QWidget *parent)
    : QWidget(parent, Qt::Window),
      combo1_(new PortNumberBox(std::move(mapping), std::move(ports), std::move(troubles), this))
{
    setupUi();
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    Form_Load();
}

void Form2::setupUi()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("选择串口"));
    setFixedSize(Twips::size(4680, 3195));

    Label1 = label(this, "Label1", QStringLiteral("串口号"), Twips::rect(600, 480, 1095, 375), 15.75);
    combo1_->setObjectName(QStringLiteral("COMBO1"));
    combo1_->setFont(Fonts::chinese(Fonts::kSongTi, 14.25));
    const QRect place = Twips::rect(1920, 480, 1695, 0);
    combo1_->setGeometry(place.x(), place.y(), place.width(), combo1_->sizeHint().height());
    Label2 = label(this, "Label2", QStringLiteral("波特率 9600 无校验 1停止位"),
                   Twips::rect(120, 1440, 4215, 495), 15);
    Command1 = button(this, "Command1", QStringLiteral("确认"), Twips::rect(480, 2280, 1455, 495));
    Command2 = button(this, "Command2", QStringLiteral("取消"), Twips::rect(2640, 2280, 1455, 495));
    QWidget::setTabOrder(Command1, Command2);
    QWidget::setTabOrder(Command2, combo1_);
    Command1->setFocus();
}

// The tooltips say what the system has as the window shows, so the box's
// own tooltip is there before the list is ever dropped down.
void Form2::showEvent(QShowEvent *event)
{
    combo1_->refreshTooltips();
    QWidget::showEvent(event);
}

QComboBox *Form2::COMBO1(int index) const { return index == 1 ? combo1_ : nullptr; }

void Form2::Form_Load()
{
    COMBO1(1)->clear();
    COMBO1(1)->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    COMBO1(1)->setCurrentIndex(-1);
    COMBO1(1)->setEditText(QStringLiteral("Combo1"));
}

// No choice (list index -1) gives port 0, which no download can open.
void Form2::Command1_Click()
{
    PortNo = qint16(COMBO1(1)->currentIndex() + 1);
    hide();
}

void Form2::Command2_Click() { hide(); }
