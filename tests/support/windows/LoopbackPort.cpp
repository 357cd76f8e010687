#include <winsock2.h>
// winsock2.h first: ws2tcpip.h needs its types.
#include <ws2tcpip.h>

#include <stdexcept>

#include "tests/support/LoopbackPort.h"

namespace quillstone::testing {

std::uint16_t ClosedLoopbackPort() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("Winsock did not start");
  const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  const bool bound = ::bind(socket, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                     ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  ::closesocket(socket);
  if (!bound) throw std::runtime_error("no free loopback port");
  return ntohs(address.sin_port);
}

}  // namespace quillstone::testing
