#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The window faces of the tool. Each font asks for its named face first and
// then falls back, in order, to installed faces that carry the Chinese
// glyphs, so Chinese text never shows as empty boxes.
namespace Fonts {

inline const QString kSongTi = QStringLiteral("宋体");
inline const QString kXinWei = QStringLiteral("华文新魏");

QFont chinese(const QString &family, double pointSize);

// The faces a font asks for, in order, on a system with the given Chinese
// faces installed: the named face, the installed faces like it, then every
// other installed one. The first installed face of the chain is the one seen.
QStringList fallbackChain(const QString &family, const QStringList &installed);

}   // namespace Fonts
