// The exported C entry points. Nothing may escape them: every failure becomes a handle of 0 or
// a reply code.
#include "capstan/capstan.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "capstan/src/HandleTable.h"
#include "capstan/src/PortMap.h"
#include "capstan/src/Protocol.h"
#include "capstan/src/Transport.h"

namespace quillstone::capstan {
namespace {

// Connecting and the handshake together; a device that has not answered by then is not there.
constexpr std::chrono::milliseconds kInitBudget{2500};

bool SameTransportName(const char* given, std::string_view known) {
  const std::string_view name(given);
  return std::equal(name.begin(), name.end(), known.begin(), known.end(), [](char a, char b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(a) == lower(b);
  });
}

std::shared_ptr<Connection> Connect(const char* transport, const char* address,
                                    std::int32_t portOrId, std::int32_t baud,
                                    Clock::time_point deadline) {
  if (portOrId < 0 || portOrId > 0xFFFF) return nullptr;
  const auto number = static_cast<std::uint16_t>(portOrId);
  if (SameTransportName(transport, CAPSTAN_TRANSPORT_TCP)) {
    if (number == 0) return nullptr;
    auto link = OpenTcpTransport(address, number, deadline);
    return link ? std::make_shared<Connection>(std::move(link), std::nullopt) : nullptr;
  }
  if (SameTransportName(transport, CAPSTAN_TRANSPORT_SERIAL)) {
    if (baud <= 0) return nullptr;
    const auto path = ResolveSerialPort(address, LoadPortMap());
    if (!path) return nullptr;
    auto link = OpenSerialTransport(*path, baud);
    return link ? std::make_shared<Connection>(std::move(link), number) : nullptr;
  }
  return nullptr;
}

std::int32_t Init(const char* transport, const char* address, std::int32_t portOrId,
                  std::int32_t baud, std::int32_t reserved1, std::int32_t reserved2) {
  if (transport == nullptr || address == nullptr || reserved1 != 0 || reserved2 != 0) return 0;
  const auto deadline = Clock::now() + kInitBudget;
  auto connection = Connect(transport, address, portOrId, baud, deadline);
  if (!connection || !connection->Handshake(deadline)) return 0;
  return ProcessHandles().Add(std::move(connection));
}

std::uint16_t SendCommand(std::int32_t handle, std::uint16_t code, char* buffer,
                          std::int32_t capacity, std::int32_t length, std::int32_t timeoutMs) {
  const auto connection = ProcessHandles().Find(handle);
  if (!connection) return CAPSTAN_REPLY_UNKNOWN_HANDLE;
  const bool sizesValid = capacity >= 0 && length >= 0 && timeoutMs >= 0 &&
                          static_cast<std::size_t>(length) <= wire::kMaxPayload;
  if (!sizesValid || (buffer == nullptr && (capacity > 0 || length > 0))) {
    return CAPSTAN_REPLY_BAD_ARGUMENT;
  }
  const auto* request = reinterpret_cast<const std::uint8_t*>(buffer);
  const Reply reply = connection->Exchange(code, {request, static_cast<std::size_t>(length)},
                                           Clock::now() + std::chrono::milliseconds(timeoutMs));
  const std::size_t copied = std::min(reply.payload.size(), static_cast<std::size_t>(capacity));
  if (copied > 0) std::memcpy(buffer, reply.payload.data(), copied);
  return reply.code;
}

}  // namespace
}  // namespace quillstone::capstan

namespace capstan = quillstone::capstan;

extern "C" {

CAPSTAN_API int32_t HALYARD_INIT(const char* transport, const char* address, int32_t portOrId,
                                 int32_t baud, int32_t reserved1, int32_t reserved2) {
  try {
    return capstan::Init(transport, address, portOrId, baud, reserved1, reserved2);
  } catch (...) {
    return 0;
  }
}

CAPSTAN_API int32_t HALYARD_SENDCMD(int32_t handle, uint16_t* command, char* buffer,
                                    int32_t capacity, int32_t length, int32_t timeoutMs) {
  if (command == nullptr) return CAPSTAN_REPLY_BAD_ARGUMENT;
  std::uint16_t reply = CAPSTAN_REPLY_TRANSPORT_ERROR;
  try {
    reply = capstan::SendCommand(handle, *command, buffer, capacity, length, timeoutMs);
  } catch (...) {
    // Out of memory is the only thing that throws here; the link state is unknown.
  }
  *command = reply;
  return reply;
}

CAPSTAN_API int32_t HALYARD_CLOSE(int32_t handle) {
  try {
    return capstan::ProcessHandles().Remove(handle) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

}  // extern "C"
