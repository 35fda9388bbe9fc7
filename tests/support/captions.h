#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>

// The captions of a window's labels and buttons that their control has no
// room for, in the font it draws them with: "name: text" each. A caption
// needs the width of its glyphs and the height of their ink.
inline QStringList clippedCaptions(const QWidget &window)
{
    QStringList clipped;
    const auto check = [&clipped](const QWidget *control, const QString &text, const QRect &room) {
        const QRect ink = QFontMetrics(control->font()).tightBoundingRect(text);
        if (!text.isEmpty() && (ink.right() >= room.width() || ink.height() > room.height()))
            clipped << control->objectName() + QStringLiteral(": ") + text;
    };
    for (const QLabel *label : window.findChildren<QLabel *>())
        check(label, label->text(), label->contentsRect());
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        check(button, button->text(),
              button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button));
    }
    return clipped;
}
