#include "serial/porttroubles.h"

PortTroubles systemPortTroubles() { return {}; }
