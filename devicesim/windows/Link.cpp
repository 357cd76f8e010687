// The simulator's links on Windows: non-blocking Winsock sockets and select(). A stop request
// is a datagram on a loopback socket connected to itself, so one select() sees everything.
// Windows has no pseudo-terminals; serial lines are served on POSIX only.
#include "devicesim/Link.h"

#include <ws2tcpip.h>

#include <stdexcept>

#include "capstan/src/windows/SocketIo.h"

namespace quillstone::devsim {

using winsockio::UniqueSocket;

struct Channel::Native {
  UniqueSocket socket;
};

struct TcpListener::Native {
  UniqueSocket socket;
  std::uint16_t port = 0;
};

struct ServiceWait::Native {
  UniqueSocket wake;
};

namespace {

[[noreturn]] void FailWithWinsockError(const std::string& what) {
  throw std::runtime_error(what + ": " + winsockio::ErrorText(::WSAGetLastError()));
}

void RequireWinsock() {
  if (!winsockio::EnsureWinsock()) throw std::runtime_error("cannot start Winsock");
}

IoStatus ToIoStatus(winsockio::IoStatus status) {
  switch (status) {
    case winsockio::IoStatus::kOk:
      return IoStatus::kOk;
    case winsockio::IoStatus::kTimeout:
      return IoStatus::kTimeout;
    case winsockio::IoStatus::kClosed:
      break;
  }
  return IoStatus::kClosed;
}

Channel MakeChannel(UniqueSocket socket) {
  auto native = std::make_unique<Channel::Native>();
  native->socket = std::move(socket);
  return Channel(std::move(native));
}

// Not inherited by programs this process starts.
SOCKET NewSocket(int type, int protocol) {
  SOCKET socket = ::WSASocketW(AF_INET, type, protocol, nullptr, 0,
                               WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket == INVALID_SOCKET && ::WSAGetLastError() == WSAEINVAL) {
    socket = ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED);
  }
  return socket;
}

sockaddr_in Ipv4Address(const std::string& address, std::uint16_t port) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = ::htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) {
    throw std::runtime_error("not an IPv4 address: " + address);
  }
  return socketAddress;
}

std::uint16_t BoundPort(SOCKET socket) {
  sockaddr_in bound{};
  int size = sizeof bound;
  ::getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &size);
  return ::ntohs(bound.sin_port);
}

std::string PeerText(const sockaddr_in& peer) {
  char address[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
  return std::string(address) + ":" + std::to_string(::ntohs(peer.sin_port));
}

bool IsReadable(SOCKET socket, const fd_set& ready) {
  return FD_ISSET(socket, const_cast<fd_set*>(&ready)) != 0;
}

}  // namespace

Channel::Channel(std::unique_ptr<Native> native) : native_(std::move(native)) {}
Channel::Channel(Channel&&) noexcept = default;
Channel& Channel::operator=(Channel&&) noexcept = default;
Channel::~Channel() = default;

IoResult Channel::ReadSome(std::span<std::uint8_t> into, Clock::time_point deadline) {
  const winsockio::ReadResult got = winsockio::ReadSome(native_->socket.Get(), into, deadline);
  return IoResult{ToIoStatus(got.status), got.count};
}

IoStatus Channel::WriteAll(std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
  return ToIoStatus(winsockio::WriteAll(native_->socket.Get(), bytes, deadline));
}

TcpListener::TcpListener(std::unique_ptr<Native> native) : native_(std::move(native)) {}
TcpListener::TcpListener(TcpListener&&) noexcept = default;
TcpListener& TcpListener::operator=(TcpListener&&) noexcept = default;
TcpListener::~TcpListener() = default;

std::uint16_t TcpListener::Port() const {
  return native_->port;
}

std::optional<AcceptedClient> TcpListener::Accept() {
  sockaddr_in peer{};
  int size = sizeof peer;
  UniqueSocket client(::accept(native_->socket.Get(), reinterpret_cast<sockaddr*>(&peer), &size));
  if (!client.Valid()) return std::nullopt;
  ::SetHandleInformation(reinterpret_cast<HANDLE>(client.Get()), HANDLE_FLAG_INHERIT, 0);
  if (!winsockio::SetNonBlocking(client.Get())) return std::nullopt;
  const BOOL noDelay = TRUE;
  ::setsockopt(client.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
  return AcceptedClient{MakeChannel(std::move(client)), PeerText(peer)};
}

TcpListener ListenTcp(const std::string& address, std::uint16_t port) {
  RequireWinsock();
  const sockaddr_in socketAddress = Ipv4Address(address, port);
  auto native = std::make_unique<TcpListener::Native>();
  native->socket.Reset(NewSocket(SOCK_STREAM, IPPROTO_TCP));
  if (!native->socket.Valid()) FailWithWinsockError("socket");
  // Windows lets a second listener take over a port unless the first one claims it alone.
  const BOOL exclusive = TRUE;
  ::setsockopt(native->socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  if (::bind(native->socket.Get(), reinterpret_cast<const sockaddr*>(&socketAddress),
             sizeof socketAddress) != 0) {
    FailWithWinsockError("cannot listen on " + address + ":" + std::to_string(port));
  }
  if (::listen(native->socket.Get(), 4) != 0) FailWithWinsockError("listen");
  if (!winsockio::SetNonBlocking(native->socket.Get())) FailWithWinsockError("ioctlsocket");
  native->port = BoundPort(native->socket.Get());
  return TcpListener(std::move(native));
}

std::optional<Channel> ConnectTcp(const std::string& address, std::uint16_t port,
                                  Clock::time_point deadline) {
  UniqueSocket socket = winsockio::ConnectTcp(address, port, deadline);
  if (!socket.Valid()) return std::nullopt;
  return MakeChannel(std::move(socket));
}

bool PseudoTerminalsAvailable() {
  return false;
}

PseudoTerminal OpenPseudoTerminal() {
  throw std::runtime_error("pseudo-terminals are not available on Windows");
}

Channel OpenSerialLine(const std::string& path, std::int32_t /*baud*/) {
  throw std::runtime_error("cannot serve " + path + ": serial lines are served on POSIX only");
}

ServiceWait::ServiceWait() : native_(std::make_unique<Native>()) {
  RequireWinsock();
  native_->wake.Reset(NewSocket(SOCK_DGRAM, IPPROTO_UDP));
  if (!native_->wake.Valid()) FailWithWinsockError("socket");
  sockaddr_in loopback = Ipv4Address("127.0.0.1", 0);
  if (::bind(native_->wake.Get(), reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback) !=
      0) {
    FailWithWinsockError("cannot bind the wake-up socket");
  }
  loopback.sin_port = ::htons(BoundPort(native_->wake.Get()));
  // Connected to itself: only its own datagrams reach it.
  if (::connect(native_->wake.Get(), reinterpret_cast<const sockaddr*>(&loopback),
                sizeof loopback) != 0) {
    FailWithWinsockError("cannot connect the wake-up socket");
  }
}

ServiceWait::~ServiceWait() = default;

void ServiceWait::RequestStop() {
  const char wake = 1;
  ::send(native_->wake.Get(), &wake, 1, 0);
}

Activity ServiceWait::Wait(const Channel* channel, const TcpListener* listener) {
  fd_set readable;
  FD_ZERO(&readable);
  const SOCKET wake = native_->wake.Get();
  FD_SET(wake, &readable);
  if (channel != nullptr) FD_SET(channel->GetNative().socket.Get(), &readable);
  if (listener != nullptr) FD_SET(listener->GetNative().socket.Get(), &readable);
  if (::select(0, &readable, nullptr, nullptr, nullptr) == SOCKET_ERROR) {
    return Activity{.stopRequested = true};
  }
  return Activity{
      .stopRequested = IsReadable(wake, readable),
      .channelReady = channel != nullptr && IsReadable(channel->GetNative().socket.Get(), readable),
      .clientWaiting =
          listener != nullptr && IsReadable(listener->GetNative().socket.Get(), readable)};
}

bool ServiceWait::WaitForStop(Clock::time_point deadline) {
  return winsockio::WaitFor(native_->wake.Get(), winsockio::Wait::kRead, deadline) ==
         winsockio::Readiness::kReady;
}

}  // namespace quillstone::devsim
