#pragma once

#include <QFont>
#include <QString>

// The window faces of the tool. Each font asks for its named face first and
// then falls back, in order, to installed faces that carry the Chinese
// glyphs, so Chinese text never shows as empty boxes.
namespace Fonts {

inline const QString kSongTi = QStringLiteral("宋体");
inline const QString kXinWei = QStringLiteral("华文新魏");

QFont chinese(const QString &family, double pointSize);

}   // namespace Fonts
