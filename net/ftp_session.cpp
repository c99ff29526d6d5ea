#include "net/ftp_session.h"
