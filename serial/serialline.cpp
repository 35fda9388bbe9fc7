#include "serial/serialline.h"
