#include "capstan/src/windows/SocketIo.h"

#include <mstcpip.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

#include "capstan/src/ConnectRetry.h"

namespace quillstone::winsockio {
namespace {

timeval TimevalUntil(Clock::time_point deadline) {
  const int ms = MillisecondsUntil(deadline);
  return timeval{ms / 1000, (ms % 1000) * 1000};
}

int ChunkSize(std::size_t size) {
  return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

// Windows answers a refused connection attempt by trying again for about two seconds; a closed
// port must fail at once. A lost first packet is then not sent again either: ConnectTcp tries
// again on a fresh socket instead. Systems without the option keep their default.
void FailConnectOnFirstRefusal(SOCKET socket) {
  TCP_INITIAL_RTO_PARAMETERS parameters{};
  parameters.Rtt = TCP_INITIAL_RTO_UNSPECIFIED_RTT;
  parameters.MaxSynRetransmissions = TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS;
  DWORD returned = 0;
  ::WSAIoctl(socket, SIO_TCP_INITIAL_RTO, &parameters, sizeof parameters, nullptr, 0, &returned,
             nullptr, nullptr);
}

// Not inherited by programs this process starts, like a POSIX descriptor opened with CLOEXEC.
SOCKET NewTcpSocket() {
  SOCKET socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                               WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket == INVALID_SOCKET && ::WSAGetLastError() == WSAEINVAL) {
    // Systems before Windows 7 SP1 do not know the flag.
    socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
  }
  return socket;
}

}  // namespace

bool EnsureWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

Readiness WaitFor(SOCKET socket, Wait what, Clock::time_point deadline) {
  for (;;) {
    fd_set watched;
    fd_set failed;
    FD_ZERO(&watched);
    FD_ZERO(&failed);
    FD_SET(socket, &watched);
    FD_SET(socket, &failed);
    timeval timeout = TimevalUntil(deadline);
    // A failed connect shows in the exception set, not as writable.
    const int ready = what == Wait::kRead ? ::select(0, &watched, nullptr, nullptr, &timeout)
                                          : ::select(0, nullptr, &watched, &failed, &timeout);
    if (ready > 0) return Readiness::kReady;
    if (ready == SOCKET_ERROR) return Readiness::kFailed;
    if (Clock::now() >= deadline) return Readiness::kTimeout;
    // select may round the timeout down; wait out the rest.
  }
}

bool SetNonBlocking(SOCKET socket) {
  u_long nonBlocking = 1;
  return ::ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}

ReadResult ReadSome(SOCKET socket, std::span<std::uint8_t> into, Clock::time_point deadline) {
  for (;;) {
    const int got = ::recv(socket, reinterpret_cast<char*>(into.data()), ChunkSize(into.size()), 0);
    if (got > 0) return {IoStatus::kOk, static_cast<std::size_t>(got)};
    if (got == 0) return {IoStatus::kClosed, 0};
    const int error = ::WSAGetLastError();
    if (error == WSAEINTR) continue;
    if (error != WSAEWOULDBLOCK) return {IoStatus::kClosed, 0};
    switch (WaitFor(socket, Wait::kRead, deadline)) {
      case Readiness::kReady:
        break;
      case Readiness::kTimeout:
        return {IoStatus::kTimeout, 0};
      case Readiness::kFailed:
        return {IoStatus::kClosed, 0};
    }
  }
}

IoStatus WriteAll(SOCKET socket, std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const int put = ::send(socket, reinterpret_cast<const char*>(bytes.data() + written),
                           ChunkSize(bytes.size() - written), 0);
    if (put > 0) {
      written += static_cast<std::size_t>(put);
      continue;
    }
    const int error = ::WSAGetLastError();
    if (error == WSAEINTR) continue;
    if (error != WSAEWOULDBLOCK) return IoStatus::kClosed;
    switch (WaitFor(socket, Wait::kWrite, deadline)) {
      case Readiness::kReady:
        break;
      case Readiness::kTimeout:
        return IoStatus::kTimeout;
      case Readiness::kFailed:
        return IoStatus::kClosed;
    }
  }
  return IoStatus::kOk;
}

UniqueSocket& UniqueSocket::operator=(UniqueSocket&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

SOCKET UniqueSocket::Release() {
  const SOCKET socket = socket_;
  socket_ = INVALID_SOCKET;
  return socket;
}

void UniqueSocket::Reset(SOCKET socket) {
  if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  socket_ = socket;
}

namespace {

capstan::ConnectOutcome ConnectOnce(const sockaddr_in& peer, Clock::time_point deadline,
                                    UniqueSocket& connected) {
  using capstan::ConnectOutcome;
  UniqueSocket socket(NewTcpSocket());
  if (!socket.Valid() || !SetNonBlocking(socket.Get())) return ConnectOutcome::kUnusable;
  FailConnectOnFirstRefusal(socket.Get());
  if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return ConnectOutcome::kUnusable;
    switch (WaitFor(socket.Get(), Wait::kWrite, deadline)) {
      case Readiness::kReady:
        break;
      case Readiness::kTimeout:
        return ConnectOutcome::kFailed;
      case Readiness::kFailed:
        return ConnectOutcome::kUnusable;
    }
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) !=
        0) {
      return ConnectOutcome::kUnusable;
    }
    if (error == WSAECONNREFUSED) return ConnectOutcome::kRefused;
    if (error != 0) return ConnectOutcome::kFailed;
  }
  connected = std::move(socket);
  return ConnectOutcome::kConnected;
}

}  // namespace

UniqueSocket ConnectTcp(const std::string& address, std::uint16_t port,
                        Clock::time_point deadline) {
  if (!EnsureWinsock()) return {};
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = ::htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) return {};

  UniqueSocket socket;
  capstan::ConnectWithRetries(deadline, Clock::now, [&](Clock::time_point attemptDeadline) {
    return ConnectOnce(peer, attemptDeadline, socket);
  });
  if (!socket.Valid()) return {};
  // Commands are small request/reply pairs: waiting to coalesce them only adds latency.
  const BOOL noDelay = TRUE;
  ::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
  return socket;
}

std::string ErrorText(int error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "Winsock error " + std::to_string(error) : message;
}

}  // namespace quillstone::winsockio
