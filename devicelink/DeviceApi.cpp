#include "devicelink/DeviceApi.h"

#include <memory>
#include <mutex>
#include <random>
#include <utility>

#include "capstan/capstan.h"

namespace quillstone {
namespace {

class CapstanLibrary final : public DeviceApi {
 public:
  std::int32_t Init(const char* transport, const char* address, std::int32_t portOrId,
                    std::int32_t baud) override {
    return HALYARD_INIT(transport, address, portOrId, baud, 0, 0);
  }
  void SendCmd(std::int32_t handle, std::uint16_t& command, char* buffer, std::int32_t capacity,
               std::int32_t length, std::int32_t timeoutMs) override {
    HALYARD_SENDCMD(handle, &command, buffer, capacity, length, timeoutMs);
  }
  void Close(std::int32_t handle) override { HALYARD_CLOSE(handle); }
};

// The key only needs to differ between runs, not to be secret: a Mersenne twister seeded once
// from the system's entropy source. Copies of the services share the one engine, so a copy
// taken for a while and dropped again does not make the next keys repeat. Connections on
// several threads draw from it at once, hence the lock.
std::function<int()> SeededScrambleKeyGenerator() {
  struct SharedEngine {
    std::mutex mutex;
    std::mt19937 engine{std::random_device{}()};
  };
  auto shared = std::make_shared<SharedEngine>();
  return [shared] {
    std::lock_guard lock(shared->mutex);
    return std::uniform_int_distribution<int>(0, 254)(shared->engine);
  };
}

LinkServices SystemLinkServices() {
  LinkServices services;
  services.device = &CapstanDeviceApi();
  services.arp = &SystemArpCacheFlusher();
  services.processes = &SystemProcessTable();
  services.sleeper = &SystemSleeper();
  services.processPendingMessages = [] {};
  services.drawScrambleKey = SeededScrambleKeyGenerator();
  return services;
}

}  // namespace

DeviceApi& CapstanDeviceApi() {
  static CapstanLibrary library;
  return library;
}

LinkServices& CurrentLinkServices() {
  static LinkServices services = SystemLinkServices();
  return services;
}

ScopedLinkServices::ScopedLinkServices(LinkServices replacement)
    : saved_(std::exchange(CurrentLinkServices(), std::move(replacement))) {}

ScopedLinkServices::~ScopedLinkServices() {
  CurrentLinkServices() = std::move(saved_);
}

}  // namespace quillstone
