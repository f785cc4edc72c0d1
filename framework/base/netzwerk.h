// TCP sockets.
#pragma once

int SYS_SocketInit(void);
int SYS_SocketDone(void);
