#include "framework/base/netzwerk.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/time.h"
#include "testsupport/testsupport.h"

namespace {

constexpr char kLoopback[] = "127.0.0.1";

int LocalPort(int sock) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  if (getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  return ntohs(address.sin_port);
}

bool InSet(const SYS_SocketSet_t& set, int sock) {
  for (uint32_t i = 0; i < set.count; ++i)
    if (set.sock[i] == sock) return true;
  return false;
}

// A server on a port the kernel picks; the client records aim at that port.
class Sockets : public ::testing::Test {
 protected:
  void SetUp() override {
    // The default action, so that a SIGPIPE would end the test program.
    std::signal(SIGPIPE, SIG_DFL);
    ASSERT_EQ(SYS_SocketNew(&server, kLoopback, 0), 0);
    ASSERT_EQ(SYS_SocketListen(&server), 0);
    port = LocalPort(server.sock);
    ASSERT_GT(port, 0);
  }
  void TearDown() override { SYS_SocketClose(&server); }

  qt::Watchdog dog{30};
  SYS_Socket_t server;
  int port = 0;
};

std::vector<std::string> events;

void OnConnecting(SYS_Socket_p) { events.push_back("connecting"); }
void OnConnect(SYS_Socket_p) { events.push_back("connect"); }
void OnError(SYS_Socket_p, const char* message) { events.push_back(std::string("error:") + message); }
void OnDisconnect(SYS_Socket_p, int code) { events.push_back("disconnect:" + std::to_string(code)); }

void WatchEvents(SYS_Socket_p socket) {
  events.clear();
  ASSERT_EQ(SYS_SocketSetConnectingCB(socket, OnConnecting), 0);
  ASSERT_EQ(SYS_SocketSetConnectCB(socket, OnConnect), 0);
  ASSERT_EQ(SYS_SocketSetErrorCB(socket, OnError), 0);
  ASSERT_EQ(SYS_SocketSetDisconnectCB(socket, OnDisconnect), 0);
}

// One thread plays both ends: connects complete through the backlog, and the
// few bytes sent fit the socket buffers.
TEST_F(Sockets, LoopbackConversation) {
  SYS_Socket_t client;
  ASSERT_EQ(SYS_SocketNew(&client, kLoopback, port), 0);
  WatchEvents(&client);
  ASSERT_EQ(SYS_SocketConnect(&client), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"connecting", "connect"}));
  EXPECT_EQ(SYS_SocketGetError(), 0);

  SYS_Socket_p conn = nullptr;
  ASSERT_EQ(SYS_SocketAccept(&server, &conn), 0);
  ASSERT_NE(conn, nullptr);
  EXPECT_EQ(conn->accepted, 1);
  EXPECT_EQ(conn->connected, 1);
  EXPECT_EQ(conn->server, &server);
  EXPECT_STREQ(conn->host, kLoopback);
  EXPECT_EQ(conn->port, LocalPort(client.sock));
  EXPECT_EQ(server.masterSet.count, 2u);
  EXPECT_TRUE(InSet(server.masterSet, conn->sock));

  const char kSent[] = "ab\nabcdefghijkl\n";
  ASSERT_EQ(SYS_SocketSend(&client, kSent, int(std::strlen(kSent))), 0);
  SYS_Socket_p data = nullptr;
  ASSERT_EQ(SYS_SocketAccept(&server, &data), 0);
  EXPECT_EQ(data->accepted, 0);
  EXPECT_EQ(data->connected, 1);
  EXPECT_EQ(data->sock, conn->sock);
  EXPECT_STREQ(data->host, kLoopback);
  char line[10];
  EXPECT_EQ(SYS_SocketFGets(data, line, sizeof(line)), 0);
  EXPECT_STREQ(line, "ab\n");
  EXPECT_EQ(SYS_SocketFGets(data, line, sizeof(line)), -1);
  EXPECT_EQ(errGetLastError(), ERR_SOCK_LINELONG);
  EXPECT_STREQ(line, "abcdefghi");
  EXPECT_EQ(SYS_SocketFGets(data, line, sizeof(line)), 0);
  EXPECT_STREQ(line, "jkl\n");
  SYS_MemFree(data);  // its host text goes with it

  // The peer goes away: its close is reported, and the server's next reads
  // and sends fail without a signal.
  SYS_SocketClose(&client);
  EXPECT_EQ(events.back(), "disconnect:0");
  EXPECT_EQ(client.connected, 0);
  ASSERT_EQ(SYS_SocketAccept(&server, &data), 0);
  EXPECT_EQ(data->sock, conn->sock);
  EXPECT_EQ(SYS_SocketFGets(data, line, sizeof(line)), -1);
  EXPECT_EQ(errGetLastError(), ERR_SOCK_CLOSED);
  SYS_MemFree(data);
  int result = 0;
  // The first send may still be taken before the peer's reset comes back.
  for (int attempt = 0; attempt < 1000 && result == 0; ++attempt) {
    result = SYS_SocketSend(conn, "x", 1);
    if (result == 0) SYS_Sleep(1);
  }
  EXPECT_EQ(result, -1);
  EXPECT_EQ(errGetLastError(), ERR_SOCK_SEND);

  EXPECT_EQ(SYS_SocketClear(conn), 0);
  EXPECT_EQ(server.masterSet.count, 1u);
  EXPECT_FALSE(InSet(server.masterSet, conn->sock));
  SYS_SocketClose(conn);
  EXPECT_EQ(errGetLastError(), 0);
  SYS_MemFree(conn);
}

TEST_F(Sockets, RefusedConnectReachesTheErrorCallback) {
  // A port that is bound but not listening answers every connect with a reset.
  const int bound = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(bound, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

  SYS_Socket_t client;
  ASSERT_EQ(SYS_SocketNew(&client, kLoopback, LocalPort(bound)), 0);
  WatchEvents(&client);
  EXPECT_EQ(SYS_SocketConnect(&client), -1);
  EXPECT_EQ(errGetLastError(), ERR_SOCK_CONNECT);
  EXPECT_EQ(SYS_SocketGetError(), ECONNREFUSED);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], "connecting");
  EXPECT_EQ(events[1], std::string("error:connect error: ") + std::strerror(ECONNREFUSED));
  close(bound);

  // Never connected: the close still reports, and says so.
  SYS_SocketClose(&client);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(events.back(), "disconnect:0");
  EXPECT_EQ(client.host, nullptr);
}

TEST_F(Sockets, RefusedArguments) {
  SYS_Socket_t idle;
  ASSERT_EQ(SYS_SocketNew(&idle, kLoopback, port), 0);
  struct Case {
    const char* what;
    int (*call)(SYS_Socket_p idle);
    int code;
  };
  const Case cases[] = {
      {"send of length 0", [](SYS_Socket_p s) { return SYS_SocketSend(s, "x", 0); }, ERR_BADARG},
      {"send of no data", [](SYS_Socket_p s) { return SYS_SocketSend(s, nullptr, 1); }, ERR_BADARG},
      {"send while not connected", [](SYS_Socket_p s) { return SYS_SocketSend(s, "x", 1); }, ERR_SOCK_SEND},
      {"line of size 1",
       [](SYS_Socket_p s) {
         char b[1];
         return SYS_SocketFGets(s, b, 1);
       },
       ERR_BADARG},
      {"read of size 0",
       [](SYS_Socket_p s) {
         char b[1];
         return SYS_SocketRead(s, b, 0);
       },
       ERR_BADARG},
      {"clear while not connected", [](SYS_Socket_p s) { return SYS_SocketClear(s); }, ERR_BADARG},
      {"callback of none", [](SYS_Socket_p s) { return SYS_SocketSetReadCB(s, nullptr); }, ERR_BADARG},
      {"callback for no record", [](SYS_Socket_p) { return SYS_SocketSetConnectCB(nullptr, OnConnect); },
       ERR_BADARG},
      {"accept into nothing", [](SYS_Socket_p s) { return SYS_SocketAccept(s, nullptr); }, ERR_BADARG},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(&idle), -1) << c.what;
    EXPECT_EQ(errGetLastError(), c.code) << c.what;
  }
  SYS_SocketClose(&idle);
}

TEST_F(Sockets, NamesThatDoNotResolve) {
  char* dotted = SYS_SocketResolve(kLoopback);
  ASSERT_NE(dotted, nullptr);
  EXPECT_STREQ(dotted, kLoopback);
  SYS_MemFree(dotted);

  EXPECT_EQ(SYS_SocketResolve("no-such-host.invalid"), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_SOCK_RESOLVE);
  SYS_Socket_t record;
  EXPECT_EQ(SYS_SocketNew(&record, "no-such-host.invalid", port), -1);
  // Without a name service the lookup itself fails (2003) instead of
  // answering that there is no such host (2004).
  const int code = errGetLastError();
  EXPECT_TRUE(code == ERR_SOCK_NOHOST || code == ERR_SOCK_LOOKUP) << code;
  EXPECT_STREQ(record.host, "no-such-host.invalid");
  SYS_MemFree(record.host);
}

// --- a full set under load ------------------------------------------------------

constexpr int kWatched = SYS_SOCKET_SETSIZE - 1;  // the listening socket takes one slot
constexpr int kLinesEach = 1000;
constexpr int kLineRoom = 64;
constexpr char kUnwatchedLine[] = "not watched\n";

std::string LoadLine(int client, int number) {
  char line[kLineRoom];
  std::snprintf(line, sizeof(line), "client %02d says line %04d\n", client, number);
  return line;
}

struct Tally {
  int64_t sent = 0;
  int64_t received = 0;
  int failures = 0;  // a failed call or an echo that differs
};

void AwaitAccepted(std::atomic<int>& accepted, int count) {
  for (int seen = accepted.load(); seen < count; seen = accepted.load()) accepted.wait(seen);
}

// The clients: each connects only once the server took the one before, so
// the small backlog never drops a connect. Then rounds of one line from
// every watched client and its echo, and at the end the unwatched client's
// line, which the server answers outside its set.
void RunClients(int port, std::atomic<int>& accepted, Tally& tally) {
  std::vector<SYS_Socket_t> clients(kWatched + 1);
  for (int i = 0; i <= kWatched; ++i) {
    if (SYS_SocketNew(&clients[i], kLoopback, port) != 0 || SYS_SocketConnect(&clients[i]) != 0) ++tally.failures;
    AwaitAccepted(accepted, i + 1);
  }
  SYS_Socket_t& unwatched = clients[kWatched];
  if (SYS_SocketSend(&unwatched, kUnwatchedLine, int(std::strlen(kUnwatchedLine))) != 0) ++tally.failures;
  char echo[kLineRoom];
  for (int number = 0; number < kLinesEach; ++number) {
    for (int i = 0; i < kWatched; ++i) {
      const std::string line = LoadLine(i, number);
      if (SYS_SocketSend(&clients[i], line.data(), int(line.size())) != 0) ++tally.failures;
      tally.sent += int64_t(line.size());
    }
    for (int i = 0; i < kWatched; ++i) {
      if (SYS_SocketFGets(&clients[i], echo, sizeof(echo)) != 0 || LoadLine(i, number) != echo) ++tally.failures;
      tally.received += int64_t(std::strlen(echo));
    }
  }
  for (int i = 0; i < kWatched; ++i) SYS_SocketClose(&clients[i]);
  if (SYS_SocketFGets(&unwatched, echo, sizeof(echo)) != 0 || std::string(echo) != kUnwatchedLine) ++tally.failures;
  SYS_SocketClose(&unwatched);
}

TEST_F(Sockets, FullSetUnderLoad) {
  std::atomic<int> accepted{0};
  Tally clientTally;
  std::thread clients(RunClients, port, std::ref(accepted), std::ref(clientTally));

  std::map<int, SYS_Socket_p> watched;  // by descriptor
  SYS_Socket_p unwatched = nullptr;
  Tally serverTally;
  int lines = 0;
  int closed = 0;
  char line[kLineRoom];
  while (closed < kWatched) {
    SYS_Socket_p record = nullptr;
    if (SYS_SocketAccept(&server, &record) != 0) {
      ++serverTally.failures;
      break;
    }
    if (record->accepted) {
      if (watched.size() < size_t(kWatched)) {
        watched[record->sock] = record;
      } else {
        unwatched = record;
        EXPECT_EQ(server.masterSet.count, uint32_t(SYS_SOCKET_SETSIZE));
        EXPECT_FALSE(InSet(server.masterSet, record->sock));
      }
      accepted.fetch_add(1);
      accepted.notify_all();
      continue;
    }
    EXPECT_TRUE(watched.count(record->sock)) << record->sock;
    if (SYS_SocketFGets(record, line, sizeof(line)) == 0) {
      const int length = int(std::strlen(line));
      serverTally.received += length;
      if (SYS_SocketSend(record, line, length) == 0) serverTally.sent += length;
      ++lines;
    } else {
      // The peer's close: the kept record ends the connection.
      ++closed;
      SYS_SocketClose(watched[record->sock]);
      SYS_MemFree(watched[record->sock]);
      watched.erase(record->sock);
    }
    SYS_MemFree(record);
  }
  EXPECT_EQ(server.masterSet.count, 1u);
  // The connection outside the set still works when read directly.
  ASSERT_NE(unwatched, nullptr);
  EXPECT_EQ(SYS_SocketFGets(unwatched, line, sizeof(line)), 0);
  EXPECT_STREQ(line, kUnwatchedLine);
  EXPECT_EQ(SYS_SocketSend(unwatched, line, int(std::strlen(line))), 0);
  clients.join();
  SYS_SocketClose(unwatched);
  SYS_MemFree(unwatched);
  for (auto& kept : watched) {
    SYS_SocketClose(kept.second);
    SYS_MemFree(kept.second);
  }

  int64_t expected = 0;
  for (int i = 0; i < kWatched; ++i)
    for (int number = 0; number < kLinesEach; ++number) expected += int64_t(LoadLine(i, number).size());
  EXPECT_EQ(lines, kWatched * kLinesEach);
  EXPECT_EQ(serverTally.failures, 0);
  EXPECT_EQ(serverTally.received, expected);
  EXPECT_EQ(serverTally.sent, expected);
  EXPECT_EQ(clientTally.failures, 0);
  EXPECT_EQ(clientTally.sent, expected);
  EXPECT_EQ(clientTally.received, expected);
}

}  // namespace
