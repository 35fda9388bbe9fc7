#pragma once

#include <QColor>

namespace FormColors {

// &H00E0E0E0&, the light grey behind the main window's labels.
inline QColor lightGrey() { return QColor(224, 224, 224); }

// The system colour of an active window border, the main window's background.
// Where the platform has no such colour a fixed grey stands in.
QColor activeBorder();

}   // namespace FormColors
