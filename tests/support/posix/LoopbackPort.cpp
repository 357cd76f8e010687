#include "tests/support/LoopbackPort.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace quillstone::testing {

std::uint16_t ClosedLoopbackPort() {
  const int socketFd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socketFd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  const bool bound = ::bind(socketFd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                     ::getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  ::close(socketFd);
  if (!bound) throw std::runtime_error("no free loopback port");
  return ntohs(address.sin_port);
}

}  // namespace quillstone::testing
