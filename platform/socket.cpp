#include "platform/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plat {

static_assert(kDottedAddressRoom == INET_ADDRSTRLEN);

LookUpResult LookUpHost(const char* host, in_addr& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(host, nullptr, &hints, &found);
  if (result != 0) return result == EAI_NONAME ? LookUpResult::NoSuchHost : LookUpResult::Failed;
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return LookUpResult::Found;
}

bool DottedAddress(const in_addr& address, char* text, size_t room) {
  if (inet_ntop(AF_INET, &address, text, static_cast<socklen_t>(room))) return true;
  if (room > 0) text[0] = '\0';
  return false;
}

sockaddr_in SocketAddress(const in_addr& address, int port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(static_cast<uint16_t>(port));
  result.sin_addr = address;
  return result;
}

int SocketPort(const sockaddr_in& address) { return ntohs(address.sin_port); }

int OpenStream() { return socket(AF_INET, SOCK_STREAM, 0); }

void CloseStream(int& sock) {
  if (sock == kNoSocket) return;
  shutdown(sock, SHUT_RDWR);
  close(sock);
  sock = kNoSocket;
}

bool ConnectStream(int sock, const sockaddr_in& address) {
  return connect(sock, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

ListenResult ListenOn(int sock, const sockaddr_in& address, int backlog) {
  // A restarted server gets its port back while old connections linger.
  const int reuse = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
  if (bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return ListenResult::BindFailed;
  if (listen(sock, backlog) != 0) return ListenResult::ListenFailed;
  return ListenResult::Listening;
}

int AcceptStream(int sock, sockaddr_in& peer) {
  peer = sockaddr_in{};
  socklen_t length = sizeof(peer);
  int accepted;
  do {
    accepted = accept(sock, reinterpret_cast<sockaddr*>(&peer), &length);
  } while (accepted < 0 && errno == EINTR);
  return accepted < 0 ? kNoSocket : accepted;
}

bool PeerAddress(int sock, sockaddr_in& peer) {
  socklen_t length = sizeof(peer);
  std::memset(&peer, 0, sizeof(peer));
  return getpeername(sock, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

int WaitReadable(std::span<int> socks) {
  if (socks.size() > kMostWatched) {
    errno = EINVAL;
    return -1;
  }
  pollfd fds[kMostWatched];
  const size_t count = socks.size();
  for (size_t i = 0; i < count; ++i) fds[i] = {socks[i], POLLIN, 0};
  int ready;
  do {
    ready = poll(fds, count, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return -1;
  int readable = 0;
  for (size_t i = 0; i < count; ++i)
    if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) socks[readable++] = fds[i].fd;
  return readable;
}

int64_t SendSome(int sock, const void* data, size_t length) {
  ssize_t sent;
  do {
    sent = send(sock, data, length, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent;
}

int64_t ReceiveSome(int sock, void* buffer, size_t length) {
  ssize_t got;
  do {
    got = recv(sock, buffer, length, 0);
  } while (got < 0 && errno == EINTR);
  return got;
}

}  // namespace plat
