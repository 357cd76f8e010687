// The simulator's links on POSIX: non-blocking descriptors and poll().
#include "devicesim/Link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "capstan/src/posix/FdIo.h"
#include "capstan/src/posix/SerialLine.h"

namespace quillstone::devsim {

using posixio::FdKind;
using posixio::UniqueFd;

struct Channel::Native {
  UniqueFd fd;
  FdKind kind = FdKind::kSocket;
  // A pseudo-terminal's other end, held open so that the simulator's end never sees a hang-up
  // between clients.
  UniqueFd keptOpen;
};

struct TcpListener::Native {
  UniqueFd fd;
  std::uint16_t port = 0;
};

struct ServiceWait::Native {
  UniqueFd wakeRead;
  UniqueFd wakeWrite;
};

namespace {

[[noreturn]] void FailWithErrno(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

IoStatus ToIoStatus(posixio::IoStatus status) {
  switch (status) {
    case posixio::IoStatus::kOk:
      return IoStatus::kOk;
    case posixio::IoStatus::kTimeout:
      return IoStatus::kTimeout;
    case posixio::IoStatus::kClosed:
      break;
  }
  return IoStatus::kClosed;
}

Channel MakeChannel(UniqueFd fd, FdKind kind, UniqueFd keptOpen = UniqueFd()) {
  auto native = std::make_unique<Channel::Native>();
  native->fd = std::move(fd);
  native->kind = kind;
  native->keptOpen = std::move(keptOpen);
  return Channel(std::move(native));
}

void DisableNagle(int fd) {
  const int noDelay = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
}

std::string PeerText(const sockaddr_in& peer) {
  char address[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
  return std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));
}

sockaddr_in Ipv4Address(const std::string& address, std::uint16_t port) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) {
    throw std::runtime_error("not an IPv4 address: " + address);
  }
  return socketAddress;
}

}  // namespace

Channel::Channel(std::unique_ptr<Native> native) : native_(std::move(native)) {}
Channel::Channel(Channel&&) noexcept = default;
Channel& Channel::operator=(Channel&&) noexcept = default;
Channel::~Channel() = default;

IoResult Channel::ReadSome(std::span<std::uint8_t> into, Clock::time_point deadline) {
  const posixio::ReadResult got =
      posixio::ReadSome(native_->fd.Get(), native_->kind, into, deadline);
  return IoResult{ToIoStatus(got.status), got.count};
}

IoStatus Channel::WriteAll(std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
  return ToIoStatus(posixio::WriteAll(native_->fd.Get(), native_->kind, bytes, deadline));
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
  socklen_t size = sizeof peer;
  UniqueFd client(::accept4(native_->fd.Get(), reinterpret_cast<sockaddr*>(&peer), &size,
                            SOCK_NONBLOCK | SOCK_CLOEXEC));
  if (!client.Valid()) return std::nullopt;
  DisableNagle(client.Get());
  return AcceptedClient{MakeChannel(std::move(client), FdKind::kSocket), PeerText(peer)};
}

TcpListener ListenTcp(const std::string& address, std::uint16_t port) {
  sockaddr_in socketAddress = Ipv4Address(address, port);
  auto native = std::make_unique<TcpListener::Native>();
  native->fd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!native->fd.Valid()) FailWithErrno("socket");
  // A port whose last connection is still in TIME_WAIT can be listened on again at once.
  const int reuse = 1;
  ::setsockopt(native->fd.Get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  if (::bind(native->fd.Get(), reinterpret_cast<const sockaddr*>(&socketAddress),
             sizeof socketAddress) != 0) {
    FailWithErrno("cannot listen on " + address + ":" + std::to_string(port));
  }
  if (::listen(native->fd.Get(), 4) != 0) FailWithErrno("listen");
  socklen_t size = sizeof socketAddress;
  ::getsockname(native->fd.Get(), reinterpret_cast<sockaddr*>(&socketAddress), &size);
  native->port = ntohs(socketAddress.sin_port);
  return TcpListener(std::move(native));
}

std::optional<Channel> ConnectTcp(const std::string& address, std::uint16_t port,
                                  Clock::time_point deadline) {
  const sockaddr_in peer = Ipv4Address(address, port);
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return std::nullopt;
  if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    if (errno != EINPROGRESS) return std::nullopt;
    if (posixio::WaitFor(fd.Get(), POLLOUT, deadline) == 0) return std::nullopt;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
      return std::nullopt;
    }
  }
  DisableNagle(fd.Get());
  return MakeChannel(std::move(fd), FdKind::kSocket);
}

bool PseudoTerminalsAvailable() {
  return true;
}

PseudoTerminal OpenPseudoTerminal() {
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master.Valid() || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
    FailWithErrno("cannot create a pseudo-terminal");
  }
  char name[256] = {};
  if (::ptsname_r(master.Get(), name, sizeof name) != 0) FailWithErrno("ptsname");
  const std::string path = name;
  UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.Valid()) FailWithErrno("cannot open " + path);
  // Echo and line editing would send the client's own frames back to it.
  if (!posixio::MakeTerminalRaw(slave.Get()) || !posixio::SetNonBlocking(master.Get())) {
    FailWithErrno("cannot set up " + path);
  }
  return PseudoTerminal{MakeChannel(std::move(master), FdKind::kTerminal, std::move(slave)), path};
}

Channel OpenSerialLine(const std::string& path, std::int32_t baud) {
  UniqueFd line(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!line.Valid()) FailWithErrno("cannot open " + path);
  if (!posixio::ConfigureRawSerial(line.Get(), baud)) {
    throw std::runtime_error("cannot set " + path + " to " + std::to_string(baud) + " baud");
  }
  return MakeChannel(std::move(line), FdKind::kTerminal);
}

ServiceWait::ServiceWait() : native_(std::make_unique<Native>()) {
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) FailWithErrno("pipe");
  native_->wakeRead.Reset(wake[0]);
  native_->wakeWrite.Reset(wake[1]);
}

ServiceWait::~ServiceWait() = default;

void ServiceWait::RequestStop() {
  const char wake = 1;
  while (::write(native_->wakeWrite.Get(), &wake, 1) < 0 && errno == EINTR) {
  }
}

Activity ServiceWait::Wait(const Channel* channel, const TcpListener* listener) {
  for (;;) {
    std::array<pollfd, 3> watched{};
    std::size_t count = 0;
    watched[count++] = {native_->wakeRead.Get(), POLLIN, 0};
    const std::size_t channelIndex = count;
    if (channel != nullptr) watched[count++] = {channel->GetNative().fd.Get(), POLLIN, 0};
    const std::size_t listenerIndex = count;
    if (listener != nullptr) watched[count++] = {listener->GetNative().fd.Get(), POLLIN, 0};
    if (::poll(watched.data(), count, -1) < 0) {
      if (errno == EINTR) continue;
      return Activity{.stopRequested = true};
    }
    return Activity{.stopRequested = watched[0].revents != 0,
                    .channelReady = channel != nullptr && watched[channelIndex].revents != 0,
                    .clientWaiting = listener != nullptr && watched[listenerIndex].revents != 0};
  }
}

bool ServiceWait::WaitForStop(Clock::time_point deadline) {
  return posixio::WaitFor(native_->wakeRead.Get(), POLLIN, deadline) != 0;
}

}  // namespace quillstone::devsim
