// TCP sockets: blocking IPv4 clients and servers with callbacks for the
// moments of a connection's life. A server waits on all its connections with
// one call that hands back either a new connection or one with data to read.
#pragma once
#include <netinet/in.h>

#include <cstdint>

// Error codes of the module (last-error state).
#define ERR_SOCK_SEND 2000        // sending failed, or the record is not connected
#define ERR_SOCK_CREATE 2001      // socket creation failed
#define ERR_SOCK_CONNECT 2002     // connect failed
#define ERR_SOCK_LOOKUP 2003      // host lookup failed
#define ERR_SOCK_NOHOST 2004      // host not found
#define ERR_SOCK_BIND 2006        // bind failed
#define ERR_SOCK_LISTEN 2007      // listen failed
#define ERR_SOCK_ACCEPT 2008      // readiness wait or accept failed
#define ERR_SOCK_RECV 2009        // receive failed
#define ERR_SOCK_LINELONG 2010    // line longer than the buffer
#define ERR_SOCK_CLOSED 2011      // the connection was closed by the peer
#define ERR_SOCK_RESOLVE 2012     // name resolution failed

// A server's set holds the listening socket and up to 63 connections.
#define SYS_SOCKET_SETSIZE 64

struct SYS_SocketSet_t {
  uint32_t count;
  int sock[SYS_SOCKET_SETSIZE];
};

struct SYS_Socket_t;
typedef SYS_Socket_t* SYS_Socket_p;

typedef void (*SYS_SocketConnect_t)(SYS_Socket_p socket);
typedef void (*SYS_SocketConnecting_t)(SYS_Socket_p socket);
typedef void (*SYS_SocketError_t)(SYS_Socket_p socket, const char* message);
typedef void (*SYS_SocketDisconnect_t)(SYS_Socket_p socket, int code);
typedef void (*SYS_SocketRead_t)(SYS_Socket_p socket, const char* data, int length);

struct SYS_Socket_t {
  int sock;      // first: the block and line readers use only this one; -1 while there is none
  char* host;    // host name, or the peer's dotted address in a record from SYS_SocketAccept
  int port;      // host byte order
  int connected;
  int accepted;  // a new connection handed out by SYS_SocketAccept
  int addrLen;
  sockaddr_in addr;
  SYS_SocketSet_t masterSet;  // a server's listening socket and its connections
  SYS_SocketSet_t readySet;   // the copy handed to the readiness wait
  SYS_SocketConnect_t onConnect;
  SYS_SocketConnecting_t onConnecting;
  SYS_SocketError_t onError;
  SYS_SocketDisconnect_t onDisconnect;
  SYS_SocketRead_t onRead;  // kept for the caller; the module never calls it
  SYS_Socket_p server;      // in a record from SYS_SocketAccept: the server it came from
};

int SYS_SocketInit(void);
int SYS_SocketDone(void);
char* SYS_SocketResolve(const char* host);
int SYS_SocketNew(SYS_Socket_p socket, const char* host, int port);
int SYS_SocketConnect(SYS_Socket_p socket);
int SYS_SocketListen(SYS_Socket_p socket);
// The record handed back is the caller's; it is freed with SYS_MemFree (its
// host text lives in the same block). Close it first when it is a connection
// the caller keeps.
int SYS_SocketAccept(SYS_Socket_p server, SYS_Socket_p* result);
int SYS_SocketClear(SYS_Socket_p socket);
void SYS_SocketClose(SYS_Socket_p socket);
int SYS_SocketSend(SYS_Socket_p socket, const void* data, int length);
int SYS_SocketRead(SYS_Socket_p socket, void* buffer, int size);
int SYS_SocketFGets(SYS_Socket_p socket, char* buffer, int size);
int SYS_SocketGetError(void);
int SYS_SocketSetConnectCB(SYS_Socket_p socket, SYS_SocketConnect_t callback);
int SYS_SocketSetConnectingCB(SYS_Socket_p socket, SYS_SocketConnecting_t callback);
int SYS_SocketSetErrorCB(SYS_Socket_p socket, SYS_SocketError_t callback);
int SYS_SocketSetDisconnectCB(SYS_Socket_p socket, SYS_SocketDisconnect_t callback);
int SYS_SocketSetReadCB(SYS_Socket_p socket, SYS_SocketRead_t callback);
