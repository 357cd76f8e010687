#include "devicesim/Chaos.h"

#include <utility>

namespace quillstone::devsim {
namespace {

// Ranges of the drawn counts. Refusals: up to two runs of a client that retries each option
// once. Dropped after: from the begin command to the end commands of a short list.
// Corrupted replies: from the unexamined begin reply alone up to an option whose retry fails.
constexpr int kMostRefusals = 4;
constexpr int kMostAnsweredBeforeDrop = 16;
constexpr int kMostCorruptReplies = 8;
// A refusal that never wears off within any run a test or a site makes.
constexpr int kAlways = 1 << 30;

// One step of SplitMix64: a well-mixed 64-bit value from any input, the same on every system.
std::uint64_t Mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ULL;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
  return value ^ (value >> 31);
}

// Independent draws per seed, device and purpose.
std::uint64_t Draw(std::uint64_t seed, std::uint64_t device, std::uint64_t purpose) {
  return Mix(Mix(Mix(seed) ^ device) ^ purpose);
}

enum Purpose : std::uint64_t { kOrder = 1, kOption = 2, kCount = 3 };

int InRange(std::uint64_t draw, int lowest, int highest) {
  return lowest + static_cast<int>(draw % static_cast<std::uint64_t>(highest - lowest + 1));
}

}  // namespace

const std::vector<ChaosKind>& AllChaosKinds() {
  static const std::vector<ChaosKind> kinds = {
      ChaosKind::kHealthy, ChaosKind::kSlow,    ChaosKind::kRefuse, ChaosKind::kRefuseAlways,
      ChaosKind::kDrop,    ChaosKind::kCorrupt, ChaosKind::kSilent, ChaosKind::kLoseAtRestart};
  return kinds;
}

std::string_view ChaosKindName(ChaosKind kind) {
  switch (kind) {
    case ChaosKind::kHealthy:
      return "healthy";
    case ChaosKind::kSlow:
      return "slow";
    case ChaosKind::kRefuse:
      return "refuse";
    case ChaosKind::kRefuseAlways:
      return "refuse-always";
    case ChaosKind::kDrop:
      return "drop";
    case ChaosKind::kCorrupt:
      return "corrupt";
    case ChaosKind::kSilent:
      return "silent";
    case ChaosKind::kLoseAtRestart:
      return "lose-at-restart";
  }
  return {};
}

bool IsTransient(ChaosKind kind) {
  switch (kind) {
    case ChaosKind::kRefuse:
    case ChaosKind::kDrop:
    case ChaosKind::kCorrupt:
      return true;
    case ChaosKind::kHealthy:  // nothing to wear off: reached at the first try
    case ChaosKind::kSlow:
    case ChaosKind::kRefuseAlways:
    case ChaosKind::kSilent:
    case ChaosKind::kLoseAtRestart:
      return false;
  }
  return false;
}

const std::vector<std::string>& ChaosOptionNames() {
  static const std::vector<std::string> names = {"WIFI", "SSID", "AuthMode", "EncrypType",
                                                 "wifidhcp"};
  return names;
}

std::string ChaosFault::Describe() const {
  std::string text = "fault=" + std::string(ChaosKindName(kind));
  switch (kind) {
    case ChaosKind::kRefuse:
      text += " option=" + option + " count=" + std::to_string(count);
      break;
    case ChaosKind::kRefuseAlways:
    case ChaosKind::kLoseAtRestart:
      text += " option=" + option;
      break;
    case ChaosKind::kDrop:
    case ChaosKind::kCorrupt:
      text += " count=" + std::to_string(count);
      break;
    case ChaosKind::kSlow:
      text += " delay=" + std::to_string(delay.count());
      break;
    case ChaosKind::kHealthy:
    case ChaosKind::kSilent:
      break;
  }
  if (kind == ChaosKind::kHealthy) return text + " lasting=none";
  return text + (IsTransient(kind) ? " lasting=transient" : " lasting=permanent");
}

FaultSettings ChaosFault::Settings() const {
  FaultSettings settings;
  switch (kind) {
    case ChaosKind::kHealthy:
      break;
    case ChaosKind::kSlow:
      settings.replyDelay = delay;
      break;
    case ChaosKind::kRefuse:
      settings.refusals[option] = count;
      break;
    case ChaosKind::kRefuseAlways:
      settings.refusals[option] = kAlways;
      break;
    case ChaosKind::kDrop:
      settings.closeAfterCommands = count;
      break;
    case ChaosKind::kCorrupt:
      settings.corruptReplies = count;
      break;
    case ChaosKind::kSilent:
      settings.silent = true;
      break;
    case ChaosKind::kLoseAtRestart:
      settings.dropAtRestart.push_back(option);
      break;
  }
  return settings;
}

ChaosFault DrawChaosFault(std::uint64_t seed, std::size_t index,
                          std::chrono::milliseconds slowDelay) {
  const std::vector<ChaosKind>& kinds = AllChaosKinds();
  const std::size_t block = index / kinds.size();
  // The block's order: a Fisher-Yates shuffle driven by draws for this block alone.
  std::vector<ChaosKind> order = kinds;
  for (std::size_t i = order.size() - 1; i > 0; --i) {
    const std::uint64_t draw = Draw(seed, block, kOrder * 1000 + i);
    std::swap(order[i], order[draw % (i + 1)]);
  }
  ChaosFault fault;
  fault.kind = order[index % kinds.size()];
  const std::vector<std::string>& names = ChaosOptionNames();
  const std::uint64_t count = Draw(seed, index, kCount);
  switch (fault.kind) {
    case ChaosKind::kRefuse:
      fault.count = InRange(count, 1, kMostRefusals);
      [[fallthrough]];
    case ChaosKind::kRefuseAlways:
    case ChaosKind::kLoseAtRestart:
      fault.option = names[Draw(seed, index, kOption) % names.size()];
      break;
    case ChaosKind::kDrop:
      fault.count = InRange(count, 1, kMostAnsweredBeforeDrop);
      break;
    case ChaosKind::kCorrupt:
      fault.count = InRange(count, 1, kMostCorruptReplies);
      break;
    case ChaosKind::kSlow:
      fault.delay = slowDelay;
      break;
    case ChaosKind::kHealthy:
    case ChaosKind::kSilent:
      break;
  }
  return fault;
}

}  // namespace quillstone::devsim
