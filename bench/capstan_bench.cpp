// Round trips through the device communication library to the in-process simulator over
// loopback TCP, and the cost of finding a closed port.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string>

#include "capstan/capstan.h"
#include "devicesim/Simulator.h"

namespace {

using quillstone::devsim::Simulator;
using quillstone::devsim::SimulatorConfig;

constexpr std::int32_t kTimeoutMs = 1000;

SimulatorConfig BenchDevice() {
  SimulatorConfig config;
  config.keepRecords = false;  // millions of commands
  config.defaults = {{"SSID", "office"}};
  return config;
}

// Runs `command` with `text` as its request against a fresh simulator for each run.
void RoundTrips(benchmark::State& state, std::uint16_t code, const std::string& text) {
  Simulator simulator(BenchDevice());
  simulator.Start();
  const std::int32_t handle =
      HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, "127.0.0.1", simulator.Port(), 0, 0, 0);
  if (handle == 0) {
    state.SkipWithError("the simulator did not answer");
    return;
  }
  std::array<char, 200> buffer{};
  for (auto _ : state) {
    std::memset(buffer.data(), 0, buffer.size());
    std::memcpy(buffer.data(), text.data(), text.size());
    std::uint16_t command = code;
    HALYARD_SENDCMD(handle, &command, buffer.data(), static_cast<std::int32_t>(buffer.size()),
                    static_cast<std::int32_t>(text.size() + 1), kTimeoutMs);
    if (command != CAPSTAN_REPLY_OK) {
      state.SkipWithError("command failed");
      break;
    }
    benchmark::DoNotOptimize(buffer);
  }
  HALYARD_CLOSE(handle);
}

void BM_ReadOptionRoundTrip(benchmark::State& state) {
  RoundTrips(state, CAPSTAN_CMD_READ_OPTION, "SSID");
}

// The value is already held, so the simulator does no file work: this is the link's cost.
void BM_WriteOptionRoundTrip(benchmark::State& state) {
  RoundTrips(state, CAPSTAN_CMD_WRITE_OPTION, "SSID=office");
}

std::uint16_t ClosedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

void BM_InitClosedPort(benchmark::State& state) {
  const std::uint16_t port = ClosedLoopbackPort();
  for (auto _ : state) {
    const std::int32_t handle = HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, "127.0.0.1", port, 0, 0, 0);
    if (handle != 0) {
      state.SkipWithError("something answered on the closed port");
      HALYARD_CLOSE(handle);
      break;
    }
  }
}

BENCHMARK(BM_ReadOptionRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteOptionRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InitClosedPort)->Unit(benchmark::kMicrosecond);

}  // namespace
