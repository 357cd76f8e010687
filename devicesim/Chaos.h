#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "devicesim/Simulator.h"

// A chaos fleet: each device of a fleet gets one fault drawn from a seed, so that one run of a
// client meets every kind of misbehaviour at once. The draw depends only on the seed and the
// device's place in the fleet, so a fleet started again with the same seed misbehaves alike.
namespace quillstone::devsim {

enum class ChaosKind {
  kHealthy,        // no fault
  kSlow,           // every reply late: past a client's read timeout, within its write timeout
  kRefuse,         // the next few writes of one option refused
  kRefuseAlways,   // every write of one option refused
  kDrop,           // the first connection dropped after a few answered commands
  kCorrupt,        // the first few replies with a broken checksum
  kSilent,         // receives everything, answers nothing, not even the hello
  kLoseAtRestart,  // the store loses one option at every restart
};

// Every kind, in the order of the table in devicesim/README.md.
const std::vector<ChaosKind>& AllChaosKinds();

// "healthy", "slow", "refuse", "refuse-always", "drop", "corrupt", "silent", "lose-at-restart".
std::string_view ChaosKindName(ChaosKind kind);

// Transient faults wear off after a bounded number of commands or connections, so that a client
// that tries again reaches the device; a permanent one is there on every try.
bool IsTransient(ChaosKind kind);

// The options a chaos fault picks its option from: the wireless options every site list and the
// window's own list hold with a value.
const std::vector<std::string>& ChaosOptionNames();

struct ChaosFault {
  ChaosKind kind = ChaosKind::kHealthy;
  std::string option;  // kRefuse, kRefuseAlways, kLoseAtRestart: the option it concerns
  int count = 0;       // kRefuse: writes refused; kDrop: commands answered; kCorrupt: replies
  std::chrono::milliseconds delay{0};  // kSlow: how late every reply is

  // For the log's start line: "fault=refuse option=SSID count=3 lasting=transient", with only
  // the fields the kind uses; "lasting=none" for a healthy device.
  std::string Describe() const;
  // The simulator's fault settings that make this fault.
  FaultSettings Settings() const;
};

// The default delay of a slow device: past the library's 1000 ms read timeout, within its
// 2000 ms write and begin timeouts even when a write queues behind a read the client gave up on.
inline constexpr std::chrono::milliseconds kDefaultChaosDelay{1200};

// Every kind once in each run of AllChaosKinds().size() consecutive devices from index 0, in an
// order drawn from the seed; counts and options drawn per device. Pure: no state, no clock.
ChaosFault DrawChaosFault(std::uint64_t seed, std::size_t index,
                          std::chrono::milliseconds slowDelay = kDefaultChaosDelay);

}  // namespace quillstone::devsim
