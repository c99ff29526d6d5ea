#include "net/ssh_session.h"
