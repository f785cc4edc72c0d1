// TCP sockets, IPv4, blocking, over the platform's socket services.
//
// A server's readiness wait goes over the members of its own 64-slot set
// (poll), so descriptor numbers do not matter; a new connection that the
// full set cannot take is closed at once, so no descriptor outlives its
// peer. A record from SYS_SocketAccept carries its host text in its own
// block: freeing the record frees the text, and closing the record leaves it
// alone. Sends never raise SIGPIPE: a peer that went away is an error
// result, as it is everywhere else.
#include "framework/base/netzwerk.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"
#include "platform/socket.h"

#define NETZWERK_LOG(level, ...) SYS_LOG_TAGGED(level, "[netzwerk]", __VA_ARGS__)
#define NETZWERK_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[netzwerk]", fn, __VA_ARGS__)

namespace {

constexpr int kNoSocket = plat::kNoSocket;
constexpr int kListenBacklog = 8;
constexpr size_t kMessageRoom = 256;
constexpr size_t kDottedRoom = plat::kDottedAddressRoom;
static_assert(SYS_SOCKET_SETSIZE <= plat::kMostWatched);

// The error number of the last failed connect, for the whole process.
std::atomic<int> savedConnectError{0};

const char* ErrorText(int error) { return std::strerror(error); }

// --- the descriptor set ---------------------------------------------------------

bool SetHas(const SYS_SocketSet_t& set, int sock) {
  for (uint32_t i = 0; i < set.count; ++i)
    if (set.sock[i] == sock) return true;
  return false;
}

void SetRemove(SYS_SocketSet_t& set, int sock) {
  for (uint32_t i = 0; i < set.count; ++i) {
    if (set.sock[i] != sock) continue;
    std::memmove(&set.sock[i], &set.sock[i + 1], (set.count - i - 1) * sizeof(set.sock[0]));
    --set.count;
    return;
  }
}

// False when the set is full and the descriptor is not a member already.
bool SetAdd(SYS_SocketSet_t& set, int sock) {
  if (SetHas(set, sock)) return true;
  if (set.count >= SYS_SOCKET_SETSIZE) return false;
  set.sock[set.count++] = sock;
  return true;
}

// Waits without time limit until a member of the set is readable and keeps
// only the readable ones in it (a hang-up or error counts, as select has it).
bool WaitReadable(SYS_SocketSet_t& set) {
  const int readable = plat::WaitReadable(std::span<int>(set.sock, set.count));
  if (readable < 0) return false;
  set.count = static_cast<uint32_t>(readable);
  return true;
}

// --- records --------------------------------------------------------------------

// The text room that follows a record from SYS_SocketAccept in its block.
char* OwnHostRoom(SYS_Socket_p socket) { return reinterpret_cast<char*>(socket + 1); }

void FillPeer(SYS_Socket_p record, const sockaddr_in& peer) {
  record->addr = peer;
  record->addrLen = sizeof(peer);
  record->port = plat::SocketPort(peer);
  record->host = OwnHostRoom(record);
  plat::DottedAddress(peer.sin_addr, record->host, kDottedRoom);
}

void ReportError(SYS_Socket_p socket, const char* format, int error) {
  if (!socket->onError) return;
  char message[kMessageRoom];
  std::snprintf(message, sizeof(message), format, ErrorText(error));
  NETZWERK_LOG(SYS_DBG_MSG, " %s\n", message);
  socket->onError(socket, message);
}

// Creates the record's stream socket; on failure reports it and sets 2001.
bool CreateStream(SYS_Socket_p socket) {
  socket->sock = plat::OpenStream();
  if (socket->sock != kNoSocket) return true;
  const int error = errno;
  NETZWERK_LOG(SYS_DBG_MSG, " !!! socket creation error ( %d -> %s ).\n", error, ErrorText(error));
  ReportError(socket, "socket: %s", error);
  errSetLastError(ERR_SOCK_CREATE);
  return false;
}

int ReceiveByte(int sock, char& byte) { return static_cast<int>(plat::ReceiveSome(sock, &byte, 1)); }

template <class Callback>
int StoreCallback(SYS_Socket_p socket, Callback SYS_Socket_t::*field, Callback callback) {
  errClear();
  if (!socket || !callback) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  socket->*field = callback;
  return 0;
}

}  // namespace

int SYS_SocketInit(void) {
  errClear();
  return 0;
}

int SYS_SocketDone(void) {
  errClear();
  return 0;
}

char* SYS_SocketResolve(const char* host) {
  errClear();
  in_addr address{};
  if (!host || plat::LookUpHost(host, address) != plat::LookUpResult::Found) {
    errSetLastError(ERR_SOCK_RESOLVE);
    return nullptr;
  }
  char dotted[kDottedRoom];
  plat::DottedAddress(address, dotted, sizeof(dotted));
  char* copy = SYS_StrDup(dotted);
  if (!copy) return nullptr;
  NETZWERK_LOG(SYS_DBG_MSG, " resolve '%s' to '%s'\n", host, copy);
  return copy;
}

int SYS_SocketNew(SYS_Socket_p socket, const char* host, int port) {
  errClear();
  if (!socket || !host) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  std::memset(socket, 0, sizeof(*socket));
  socket->sock = kNoSocket;
  socket->host = SYS_StrDup(host);
  if (!socket->host) return -1;
  in_addr address{};
  const plat::LookUpResult lookup = plat::LookUpHost(host, address);
  if (lookup != plat::LookUpResult::Found) {
    errSetLastError(lookup == plat::LookUpResult::NoSuchHost ? ERR_SOCK_NOHOST : ERR_SOCK_LOOKUP);
    return -1;
  }
  socket->port = port;
  socket->connected = 0;
  NETZWERK_LOG(SYS_DBG_MSG, " new socket: %s:%d\n", socket->host, port);
  socket->addrLen = sizeof(socket->addr);
  socket->addr = plat::SocketAddress(address, port);
  return 0;
}

int SYS_SocketConnect(SYS_Socket_p socket) {
  errClear();
  if (!socket) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  savedConnectError = 0;
  NETZWERK_LOG(SYS_DBG_MSG, " connect: %s:%d\n", socket->host, socket->port);
  if (socket->onConnecting) socket->onConnecting(socket);
  if (!CreateStream(socket)) return -1;
  if (plat::ConnectStream(socket->sock, socket->addr)) {
    socket->connected = 1;
    if (socket->onConnect) socket->onConnect(socket);
    return 0;
  }
  const int error = errno;
  savedConnectError = error;
  // The failed socket is of no further use; keeping it would leak it.
  plat::CloseStream(socket->sock);
  char message[kMessageRoom];
  std::snprintf(message, sizeof(message), "connect error: %s", ErrorText(error));
  NETZWERK_LOG(SYS_DBG_MSG, " %s (%d)\n", message, error);
  if (socket->onError) socket->onError(socket, message);
  errSetLastError(ERR_SOCK_CONNECT);
  return -1;
}

int SYS_SocketListen(SYS_Socket_p socket) {
  errClear();
  if (!socket) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (socket->onConnecting) socket->onConnecting(socket);
  if (!CreateStream(socket)) return -1;
  const plat::ListenResult listening = plat::ListenOn(socket->sock, socket->addr, kListenBacklog);
  if (listening == plat::ListenResult::BindFailed) {
    NETZWERK_LOG(SYS_DBG_MSG, " unable to bind to socket (%s)...\n", ErrorText(errno));
    plat::CloseStream(socket->sock);
    errSetLastError(ERR_SOCK_BIND);
    return -1;
  }
  if (listening == plat::ListenResult::ListenFailed) {
    NETZWERK_LOG(SYS_DBG_MSG, " unable listen (%s)...\n", ErrorText(errno));
    plat::CloseStream(socket->sock);
    errSetLastError(ERR_SOCK_LISTEN);
    return -1;
  }
  socket->masterSet.count = 0;
  SetAdd(socket->masterSet, socket->sock);
  return 0;
}

namespace {

// A new connection on the listening socket, into the fresh record.
bool TakeNewConnection(SYS_Socket_p server, SYS_Socket_p record) {
  sockaddr_in peer{};
  const int sock = plat::AcceptStream(server->sock, peer);
  if (sock == kNoSocket) {
    NETZWERK_LOG_AS(SYS_DBG_MSG, "SYS_SocketAccept", " unable to accept new connection (%s)...\n", ErrorText(errno));
    errSetLastError(ERR_SOCK_ACCEPT);
    return false;
  }
  record->sock = sock;
  FillPeer(record, peer);
  NETZWERK_LOG_AS(SYS_DBG_MSG, "SYS_SocketAccept", " incoming connection from %s:%d (%d)\n", record->host, record->port,
                  sock);
  SetRemove(server->readySet, server->sock);
  if (!SetAdd(server->masterSet, sock)) {
    // A connection that no wait would ever watch would only hold its
    // descriptor until the process ends: its peer is told at once instead.
    NETZWERK_LOG_AS(SYS_DBG_MSG, "SYS_SocketAccept", " set full, connection from %s:%d (%d) closed\n", record->host,
                    record->port, sock);
    plat::CloseStream(record->sock);
    errSetLastError(ERR_SOCK_SETFULL);
    return false;
  }
  record->accepted = 1;
  record->server = server;
  record->connected = 1;
  return true;
}

}  // namespace

int SYS_SocketAccept(SYS_Socket_p server, SYS_Socket_p* result) {
  errClear();
  if (!server || !result) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  server->readySet = server->masterSet;
  if (!WaitReadable(server->readySet)) {
    NETZWERK_LOG(SYS_DBG_MSG, " select() error: %s\n", ErrorText(errno));
    errSetLastError(ERR_SOCK_ACCEPT);
    return -1;
  }
  // The copy inherits the server's callbacks; its host text is its own.
  auto* record = static_cast<SYS_Socket_p>(SYS_MemGet(sizeof(SYS_Socket_t) + kDottedRoom));
  if (!record) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  *record = *server;
  record->host = nullptr;
  if (SetHas(server->readySet, server->sock)) {
    if (!TakeNewConnection(server, record)) {
      SYS_ErrKeeper keep;
      SYS_MemFree(record);
      return -1;
    }
    *result = record;
    return 0;
  }
  if (server->readySet.count > 0) {
    const int sock = server->readySet.sock[0];
    sockaddr_in peer;
    plat::PeerAddress(sock, peer);
    FillPeer(record, peer);
    record->sock = sock;
    record->server = server;
    record->connected = 1;
  } else {
    // Nothing to hand over: the copy must not reach the listening socket.
    record->sock = kNoSocket;
  }
  *result = record;
  return 0;
}

int SYS_SocketClear(SYS_Socket_p socket) {
  errClear();
  if (!socket || !socket->connected) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (socket->server) SetRemove(socket->server->masterSet, socket->sock);
  return 0;
}

void SYS_SocketClose(SYS_Socket_p socket) {
  errClear();
  if (!socket) {
    errSetLastError(ERR_BADARG);
    return;
  }
  if (socket->onDisconnect) socket->onDisconnect(socket, 0);
  if (!socket->connected)
    errSetLastError(ERR_BADARG);
  else if (socket->server)
    SetRemove(socket->server->masterSet, socket->sock);
  NETZWERK_LOG(SYS_DBG_MSG, " close: %s:%d\n", socket->host ? socket->host : "", socket->port);
  plat::CloseStream(socket->sock);
  if (socket->host != OwnHostRoom(socket)) {
    SYS_ErrKeeper keep;
    SYS_MemFree(socket->host);
  }
  socket->host = nullptr;
  socket->connected = 0;
}

int SYS_SocketSend(SYS_Socket_p socket, const void* data, int length) {
  errClear();
  if (!socket || !data || length <= 0) {
    NETZWERK_LOG(SYS_DBG_MSG, " %s : wrong parameter.\n", __func__);
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (!socket->connected) {
    errSetLastError(ERR_SOCK_SEND);
    return -1;
  }
  const auto* bytes = static_cast<const char*>(data);
  int sent = 0;
  while (sent < length) {
    const int64_t n = plat::SendSome(socket->sock, bytes + sent, static_cast<size_t>(length - sent));
    if (n < 0) {
      NETZWERK_LOG(SYS_DBG_MSG, " %s : sending error : %s\n", __func__, ErrorText(errno));
      errSetLastError(ERR_SOCK_SEND);
      return -1;
    }
    sent += static_cast<int>(n);
  }
  return 0;
}

int SYS_SocketRead(SYS_Socket_p socket, void* buffer, int size) {
  errClear();
  if (!socket || !buffer || size <= 0) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  const int64_t got = plat::ReceiveSome(socket->sock, buffer, static_cast<size_t>(size));
  if (got < 0) {
    NETZWERK_LOG(SYS_DBG_MSG, " %s : receive error : %s\n", __func__, ErrorText(errno));
    errSetLastError(ERR_SOCK_RECV);
    return -1;
  }
  return static_cast<int>(got);
}

int SYS_SocketFGets(SYS_Socket_p socket, char* buffer, int size) {
  errClear();
  // Room for one byte and the end mark at least.
  if (!socket || !buffer || size < 2) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  int stored = 0;
  while (stored < size - 1) {
    char byte;
    const int got = ReceiveByte(socket->sock, byte);
    if (got <= 0) {
      buffer[stored] = '\0';
      if (got == 0) {
        errSetLastError(ERR_SOCK_CLOSED);
        return -1;
      }
      NETZWERK_LOG(SYS_DBG_MSG, " %s : error in receving : %s\n", __func__, ErrorText(errno));
      errSetLastError(ERR_SOCK_RECV);
      return -1;
    }
    buffer[stored++] = byte;
    if (byte == '\n') {
      buffer[stored] = '\0';
      return 0;
    }
  }
  buffer[stored] = '\0';
  errSetLastError(ERR_SOCK_LINELONG);
  return -1;
}

int SYS_SocketGetError(void) {
  errClear();
  return savedConnectError;
}

int SYS_SocketSetConnectCB(SYS_Socket_p socket, SYS_SocketConnect_t callback) {
  return StoreCallback(socket, &SYS_Socket_t::onConnect, callback);
}

int SYS_SocketSetConnectingCB(SYS_Socket_p socket, SYS_SocketConnecting_t callback) {
  return StoreCallback(socket, &SYS_Socket_t::onConnecting, callback);
}

int SYS_SocketSetErrorCB(SYS_Socket_p socket, SYS_SocketError_t callback) {
  return StoreCallback(socket, &SYS_Socket_t::onError, callback);
}

int SYS_SocketSetDisconnectCB(SYS_Socket_p socket, SYS_SocketDisconnect_t callback) {
  return StoreCallback(socket, &SYS_Socket_t::onDisconnect, callback);
}

int SYS_SocketSetReadCB(SYS_Socket_p socket, SYS_SocketRead_t callback) {
  return StoreCallback(socket, &SYS_Socket_t::onRead, callback);
}
