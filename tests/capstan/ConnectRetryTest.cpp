#include "capstan/src/ConnectRetry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace quillstone::capstan {
namespace {

using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

// Each scripted attempt answers with `outcome` after `takes`, or at its deadline when it hears
// nothing (kSilence); the clock is the test's own.
struct ScriptedAttempt {
  ConnectOutcome outcome;
  milliseconds takes;
};
constexpr milliseconds kSilence = milliseconds::max();

struct RetryCase {
  std::string name;
  std::vector<ScriptedAttempt> script;  // the last entry repeats
  ConnectOutcome expected;
  std::vector<int> attemptDeadlinesMs;  // of each attempt made, from the start
};

class ConnectRetry : public ::testing::TestWithParam<RetryCase> {};

TEST_P(ConnectRetry, TriesAgainOnlyAfterAFailureThatIsNotFinal) {
  const RetryCase& c = GetParam();
  const TimePoint start{};
  TimePoint clock = start;
  std::vector<int> deadlines;
  const ConnectOutcome outcome = ConnectWithRetries(
      start + milliseconds(2500), [&] { return clock; },
      [&](TimePoint attemptDeadline) {
        deadlines.push_back(static_cast<int>(
            std::chrono::duration_cast<milliseconds>(attemptDeadline - start).count()));
        const ScriptedAttempt& step = c.script[std::min(deadlines.size(), c.script.size()) - 1];
        clock +=
            std::min(step.takes, std::chrono::duration_cast<milliseconds>(attemptDeadline - clock));
        return step.outcome;
      });
  EXPECT_EQ(outcome, c.expected);
  EXPECT_EQ(deadlines, c.attemptDeadlinesMs);
}

using O = ConnectOutcome;
INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectRetry,
    ::testing::Values(
        RetryCase{"ConnectsAtOnce", {{O::kConnected, milliseconds(1)}}, O::kConnected, {600}},
        RetryCase{"RefusedFailsAtOnce", {{O::kRefused, milliseconds(1)}}, O::kRefused, {600}},
        RetryCase{"UnusableFailsAtOnce", {{O::kUnusable, milliseconds(0)}}, O::kUnusable, {600}},
        // A lost SYN: the first attempt hears nothing within its window, a fresh one connects.
        RetryCase{"ConnectsOnAFreshSocketAfterALostSyn",
                  {{O::kFailed, kSilence}, {O::kConnected, milliseconds(1)}},
                  O::kConnected,
                  {600, 1200}},
        RetryCase{"RefusedOnTheRetryStopsThere",
                  {{O::kFailed, kSilence}, {O::kRefused, milliseconds(1)}},
                  O::kRefused,
                  {600, 1200}},
        // The last attempt gets the rest of the budget rather than a window too short.
        RetryCase{"SilenceUsesTheWholeBudget",
                  {{O::kFailed, kSilence}},
                  O::kFailed,
                  {600, 1200, 1800, 2500}},
        RetryCase{"FailuresOnTheSpotStopAfterFiveAttempts",
                  {{O::kFailed, milliseconds(0)}},
                  O::kFailed,
                  {600, 600, 600, 600, 2500}}),
    [](const ::testing::TestParamInfo<RetryCase>& param) { return param.param.name; });

}  // namespace
}  // namespace quillstone::capstan
