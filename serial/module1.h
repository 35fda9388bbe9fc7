#pragma once

#include <QtGlobal>

// The number of the serial port that downloads use; 1 is the first port.
// Set at start-up and by the port selection window, read when the port opens.
extern qint16 PortNo;
