#pragma once

#include <QIcon>
#include <QImage>

// The tool's icon: a grey device box with a cable, in the 16 colours of the
// classic palette.
namespace DeviceIcon {

QImage picture(int size = 32);
QIcon icon();

}   // namespace DeviceIcon
