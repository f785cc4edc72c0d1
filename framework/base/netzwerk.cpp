// TCP sockets. BSD sockets need no library start; the full module follows later.
#include "framework/base/netzwerk.h"

int SYS_SocketInit(void) { return 0; }
int SYS_SocketDone(void) { return 0; }
