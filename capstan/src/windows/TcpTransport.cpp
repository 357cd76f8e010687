#include "capstan/src/Transport.h"
#include "capstan/src/windows/SocketIo.h"

namespace quillstone::capstan {
namespace {

LinkStatus ToLinkStatus(winsockio::IoStatus status) {
  switch (status) {
    case winsockio::IoStatus::kOk:
      return LinkStatus::kOk;
    case winsockio::IoStatus::kTimeout:
      return LinkStatus::kTimeout;
    case winsockio::IoStatus::kClosed:
      break;
  }
  return LinkStatus::kClosed;
}

class SocketTransport final : public Transport {
 public:
  explicit SocketTransport(winsockio::UniqueSocket socket) : socket_(std::move(socket)) {}

  LinkStatus Send(std::span<const std::uint8_t> bytes, Clock::time_point deadline) override {
    return ToLinkStatus(winsockio::WriteAll(socket_.Get(), bytes, deadline));
  }

  Received Receive(std::span<std::uint8_t> into, Clock::time_point deadline) override {
    const winsockio::ReadResult got = winsockio::ReadSome(socket_.Get(), into, deadline);
    return Received{ToLinkStatus(got.status), got.count};
  }

  // Everything on the stream answers our own requests; stale replies are told apart by their
  // sequence numbers.
  void DiscardInput() override {}
  bool IsReliableStream() const override { return true; }

 private:
  winsockio::UniqueSocket socket_;
};

}  // namespace

std::unique_ptr<Transport> OpenTcpTransport(const std::string& address, std::uint16_t port,
                                            Clock::time_point deadline) {
  winsockio::UniqueSocket socket = winsockio::ConnectTcp(address, port, deadline);
  if (!socket.Valid()) return nullptr;
  return std::make_unique<SocketTransport>(std::move(socket));
}

}  // namespace quillstone::capstan
