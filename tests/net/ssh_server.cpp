#include "tests/net/test_servers.h"
