#include "app/formcolors.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

QColor FormColors::activeBorder()
{
#ifdef Q_OS_WIN
    const DWORD c = ::GetSysColor(COLOR_ACTIVEBORDER);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
#else
    return QColor(212, 208, 200);
#endif
}
