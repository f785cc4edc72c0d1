// TCP sockets: blocking IPv4 clients and servers with callbacks for the
// moments of a connection's life. A server waits on all its connections with
// one call that hands back either a new connection or one with data to read.
//
// Every call blocks its thread for as long as said at its declaration; no
// call has a time limit of its own. A server that serves several clients
// from one thread is as quick as its slowest client wherever a call below
// waits on a peer: it reads with SYS_SocketRead, which after the readiness
// wait never waits, and it sends only as much as its peers take.
//
// Where it differs from the plain steps, and the fault each difference mends:
//   - a new connection that the full set cannot take is closed at once and the accept fails with ERR_SOCK_SETFULL, where it stayed open unwatched for good (lost resources);
//   - a socket whose connect, bind or listen failed is closed, where it stayed open with nothing left to close it (lost resources).
#pragma once
// The record holds the system's own IPv4 address record (sockaddr_in: family,
// port in network order, address, eight zero bytes) as its callers know it,
// so this header takes that one type from the system; every call on a socket
// goes through platform/socket.h.
#include <netinet/in.h>

#include <cstdint>

// Error codes of the module (last-error state).
#define ERR_SOCK_SEND 2000        // sending failed, or the record is not connected
#define ERR_SOCK_CREATE 2001      // socket creation failed
#define ERR_SOCK_CONNECT 2002     // connect failed
#define ERR_SOCK_LOOKUP 2003      // host lookup failed
#define ERR_SOCK_NOHOST 2004      // host not found
#define ERR_SOCK_SETFULL 2005     // a new connection found the server's set full and was closed
#define ERR_SOCK_BIND 2006        // bind failed
#define ERR_SOCK_LISTEN 2007      // listen failed
#define ERR_SOCK_ACCEPT 2008      // readiness wait or accept failed
#define ERR_SOCK_RECV 2009        // receive failed
#define ERR_SOCK_LINELONG 2010    // line longer than the buffer
#define ERR_SOCK_CLOSED 2011      // the connection was closed by the peer
#define ERR_SOCK_RESOLVE 2012     // name resolution failed

// A server's set holds the listening socket and up to 63 connections; the
// accept closes any further connection at once (ERR_SOCK_SETFULL).
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
// Blocks for the name lookup (the resolver's own time limits).
char* SYS_SocketResolve(const char* host);
// Blocks for the name lookup (the resolver's own time limits).
int SYS_SocketNew(SYS_Socket_p socket, const char* host, int port);
// Blocks until the connection is made or refused; a host that never answers
// holds it for the system's connect timeout (minutes).
int SYS_SocketConnect(SYS_Socket_p socket);
// Does not block.
int SYS_SocketListen(SYS_Socket_p socket);
// Blocks without time limit until a socket of the server's set is readable:
// a new connection, data, or a peer's close. The record handed back is the
// caller's; it is freed with SYS_MemFree (its host text lives in the same
// block). Close it first when it is a connection the caller keeps. A new
// connection that the full set cannot take is closed at once and the call
// fails with ERR_SOCK_SETFULL, handing back nothing; the server goes on.
int SYS_SocketAccept(SYS_Socket_p server, SYS_Socket_p* result);
// Does not block.
int SYS_SocketClear(SYS_Socket_p socket);
// Does not block.
void SYS_SocketClose(SYS_Socket_p socket);
// Blocks until every byte is handed to the system, without time limit: a
// peer that does not read holds it once its receive window and this
// socket's send buffer are full (a few megabytes on loopback). It fails with
// ERR_SOCK_SEND once the peer is gone.
int SYS_SocketSend(SYS_Socket_p socket, const void* data, int length);
// One receive: blocks until at least one byte or the peer's close arrives,
// without time limit; on a record that the readiness wait has just handed
// back for data it returns at once.
int SYS_SocketRead(SYS_Socket_p socket, void* buffer, int size);
// Blocks until a line feed, size - 1 bytes or the peer's close has arrived,
// without time limit. The readiness wait announces only the first byte: a
// peer that sends half a line and waits holds the caller until it sends the
// rest or goes. The record has no room to keep a partial line between calls
// and the wait reports unread bytes again at once, so the reader cannot hand
// back a part and come back later; a server that must not wait on one client
// reads with SYS_SocketRead and assembles its lines itself.
int SYS_SocketFGets(SYS_Socket_p socket, char* buffer, int size);
int SYS_SocketGetError(void);
int SYS_SocketSetConnectCB(SYS_Socket_p socket, SYS_SocketConnect_t callback);
int SYS_SocketSetConnectingCB(SYS_Socket_p socket, SYS_SocketConnecting_t callback);
int SYS_SocketSetErrorCB(SYS_Socket_p socket, SYS_SocketError_t callback);
int SYS_SocketSetDisconnectCB(SYS_Socket_p socket, SYS_SocketDisconnect_t callback);
int SYS_SocketSetReadCB(SYS_Socket_p socket, SYS_SocketRead_t callback);
