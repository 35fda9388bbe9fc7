#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

// Faces that look like the named ones, best first.
QStringList likeFaces(const QString &family)
{
    if (family == Fonts::kXinWei)
        return {QStringLiteral("STXinwei"), QStringLiteral("LXGW WenKai"), QStringLiteral("AR PL UKai CN"),
                QStringLiteral("Noto Serif CJK SC")};
    return {QStringLiteral("SimSun"),
            QStringLiteral("NSimSun"),
            QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("AR PL UMing CN"),
            QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("WenQuanYi Zen Hei")};
}

QStringList fallbackChain(const QString &family)
{
    QStringList chain{family};
    const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString &face : likeFaces(family)) {
        if (installed.contains(face, Qt::CaseInsensitive))
            chain << face;
    }
    for (const QString &face : installed) {
        if (!chain.contains(face, Qt::CaseInsensitive))
            chain << face;
    }
    return chain;
}

}   // namespace

QFont Fonts::chinese(const QString &family, double pointSize)
{
    QFont font;
    font.setFamilies(fallbackChain(family));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    return font;
}
