#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "capstan/src/Transport.h"
#include "capstan/src/posix/FdTransport.h"

namespace quillstone::capstan {

std::unique_ptr<Transport> OpenTcpTransport(const std::string& address, std::uint16_t port,
                                            Clock::time_point deadline) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) return nullptr;

  posixio::UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) return nullptr;
  if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    if (errno != EINPROGRESS) return nullptr;
    if (posixio::WaitFor(socket.Get(), POLLOUT, deadline) == 0) return nullptr;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
      return nullptr;
    }
  }
  // Commands are small request/reply pairs: waiting to coalesce them only adds latency.
  const int noDelay = 1;
  ::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  return std::make_unique<FdTransport>(std::move(socket), posixio::FdKind::kSocket);
}

}  // namespace quillstone::capstan
