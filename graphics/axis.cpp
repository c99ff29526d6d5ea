#include "graphics/axis.h"
