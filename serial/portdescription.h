#pragma once

#include "serial/portmapping.h"

#include <QString>

// Names what port number `portNo` opens right now, for the operator: the
// device and its description, or that no such port exists.
QString describePort(const PortMapping &mapping, int portNo);
