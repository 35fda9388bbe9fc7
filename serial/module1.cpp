#include "serial/module1.h"

qint16 PortNo = 1;
