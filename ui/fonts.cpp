#include "ui/fonts.h"

#include <QFontDatabase>

namespace {

// Faces that look like the named ones, best first. Windows lists a face by
// its Chinese name on a Chinese system and by its English name elsewhere, so
// both stand here. 华文新魏 comes with Microsoft Office, not with Windows: after
// it come the brush faces closest to it, 楷体 and then 仿宋, which every
// Chinese Windows has (older ones as the _GB2312 faces), then the faces a
// Linux desktop may have.
QStringList likeFaces(const QString &family)
{
    if (family == Fonts::kXinWei)
        return {QStringLiteral("STXinwei"),        QStringLiteral("楷体"),
                QStringLiteral("KaiTi"),           QStringLiteral("华文楷体"),
                QStringLiteral("STKaiti"),         QStringLiteral("楷体_GB2312"),
                QStringLiteral("KaiTi_GB2312"),    QStringLiteral("仿宋"),
                QStringLiteral("FangSong"),        QStringLiteral("华文仿宋"),
                QStringLiteral("STFangsong"),      QStringLiteral("仿宋_GB2312"),
                QStringLiteral("FangSong_GB2312"), QStringLiteral("LXGW WenKai"),
                QStringLiteral("AR PL UKai CN"),   QStringLiteral("Noto Serif CJK SC")};
    return {QStringLiteral("SimSun"),
            QStringLiteral("NSimSun"),
            QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("AR PL UMing CN"),
            QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("WenQuanYi Zen Hei")};
}

}   // namespace

QStringList Fonts::fallbackChain(const QString &family, const QStringList &installed)
{
    QStringList chain{family};
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

QFont Fonts::chinese(const QString &family, double pointSize)
{
    QFont font;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
#else
    const QStringList installed = QFontDatabase().families(QFontDatabase::SimplifiedChinese);
#endif
    font.setFamilies(fallbackChain(family, installed));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    return font;
}
