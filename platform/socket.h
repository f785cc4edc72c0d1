// TCP/IPv4 socket services over BSD sockets: descriptors, name lookup,
// connect, listen, accept, the readiness wait and blocking transfers. Each
// call is one system call (interrupted calls are repeated); on failure
// errno tells why. Sends never raise SIGPIPE: a peer that went away is a
// failed send.
#pragma once
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace plat {

inline constexpr int kNoSocket = -1;
// Room for an IPv4 address as dotted text, its end mark included.
inline constexpr size_t kDottedAddressRoom = 16;
// The most sockets one readiness wait watches.
inline constexpr size_t kMostWatched = 64;

enum class LookUpResult { Found, NoSuchHost, Failed };
// The first IPv4 address of a host name.
LookUpResult LookUpHost(const char* host, in_addr& address);
// The address as dotted text; false (and an empty text) when it does not fit.
bool DottedAddress(const in_addr& address, char* text, size_t room);

// An IPv4 socket address: the family, the port in network order, the
// address, zero bytes after.
sockaddr_in SocketAddress(const in_addr& address, int port);
// The port of a socket address in host order.
int SocketPort(const sockaddr_in& address);

// A new stream socket, or kNoSocket.
int OpenStream();
// Shuts both directions down and closes the socket; leaves sock kNoSocket.
void CloseStream(int& sock);
bool ConnectStream(int sock, const sockaddr_in& address);
// Binds the socket to the address, reusing a port that old connections
// still hold, and listens with the given backlog. Which step failed is in
// the result.
enum class ListenResult { Listening, BindFailed, ListenFailed };
ListenResult ListenOn(int sock, const sockaddr_in& address, int backlog);
// The next connection waiting on a listening socket, or kNoSocket; the
// peer's address goes into peer.
int AcceptStream(int sock, sockaddr_in& peer);
// The peer's address of a connected socket (zero bytes when there is none).
bool PeerAddress(int sock, sockaddr_in& peer);

// Waits without time limit until one of the sockets (at most
// kMostWatched, else -1 with EINVAL) is readable (a hang-up
// or an error counts) and moves the readable ones to the front, in order;
// their count, or -1.
int WaitReadable(std::span<int> socks);

// One send (never SIGPIPE); the count handed to the system, or -1.
int64_t SendSome(int sock, const void* data, size_t length);
// One receive of at most length bytes; the count (0 when the peer closed),
// or -1.
int64_t ReceiveSome(int sock, void* buffer, size_t length);

}  // namespace plat
