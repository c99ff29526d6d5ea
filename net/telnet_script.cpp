#include "net/telnet_script.h"
