#pragma once

#include <chrono>

// When a TCP connect is tried again. A refused port fails at once; any other failure (a lost
// SYN shows as an attempt that never completes) is retried on a fresh socket while the budget
// lasts. Plain logic, so that it is tested on every system with a clock of the test's own.
namespace quillstone::capstan {

enum class ConnectOutcome {
  kConnected,
  kRefused,  // final: nobody listens there
  kFailed,   // worth another attempt: no answer in time, or a failure other than a refusal
  kUnusable  // final: no socket, a bad address, an error on the spot
};

// How long one attempt may wait for its answer before a fresh socket tries again. Devices
// answer on the local network within milliseconds; the last attempt gets the rest of the
// budget, so a slow answer still gets a full window.
inline constexpr std::chrono::milliseconds kConnectAttemptWindow{600};
// Bounds the attempts when failures come back at once rather than after a wait.
inline constexpr int kMaxConnectAttempts = 5;

// Calls `attempt(attemptDeadline)` until it connects or fails finally, the deadline passes or
// the attempts run out; returns the last outcome (kFailed when no attempt could start).
template <typename TimePoint, typename Now, typename Attempt>
ConnectOutcome ConnectWithRetries(TimePoint deadline, Now now, Attempt attempt) {
  ConnectOutcome outcome = ConnectOutcome::kFailed;
  for (int tries = 0; tries < kMaxConnectAttempts; ++tries) {
    const TimePoint start = now();
    if (start >= deadline) break;
    TimePoint attemptDeadline = start + kConnectAttemptWindow;
    if (tries + 1 == kMaxConnectAttempts || deadline - attemptDeadline < kConnectAttemptWindow) {
      attemptDeadline = deadline;
    }
    outcome = attempt(attemptDeadline);
    if (outcome != ConnectOutcome::kFailed) break;
  }
  return outcome;
}

}  // namespace quillstone::capstan
