#include "capstan/src/posix/FdTransport.h"

#include <termios.h>

namespace quillstone::capstan {
namespace {

LinkStatus ToLinkStatus(posixio::IoStatus status) {
  switch (status) {
    case posixio::IoStatus::kOk:
      return LinkStatus::kOk;
    case posixio::IoStatus::kTimeout:
      return LinkStatus::kTimeout;
    case posixio::IoStatus::kClosed:
      break;
  }
  return LinkStatus::kClosed;
}

}  // namespace

LinkStatus FdTransport::Send(std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
  return ToLinkStatus(posixio::WriteAll(fd_.Get(), kind_, bytes, deadline));
}

Received FdTransport::Receive(std::span<std::uint8_t> into, Clock::time_point deadline) {
  const posixio::ReadResult got = posixio::ReadSome(fd_.Get(), kind_, into, deadline);
  return Received{ToLinkStatus(got.status), got.count};
}

void FdTransport::DiscardInput() {
  if (kind_ == posixio::FdKind::kTerminal) ::tcflush(fd_.Get(), TCIFLUSH);
}

}  // namespace quillstone::capstan
