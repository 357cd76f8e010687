// The fleet scheduler's concurrency rules and the reconnection backoff, with fake work and a
// fake clock: nothing here waits for real.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "cli/Fleet.h"
#include "cli/InputError.h"

namespace quillstone::cli {
namespace {

using ::testing::ElementsAre;

// Pauses advance the fake clock instead of waiting.
struct FakeTime : Sleeper {
  void SleepMs(int milliseconds) override {
    pauses.push_back(milliseconds);
    now += std::chrono::milliseconds(milliseconds);
  }
  ClockNow Clock() {
    return [this] { return now; };
  }
  SteadyClock::time_point now{};
  std::vector<int> pauses;
};

TEST(BackoffTest, PausesDoubleUpToTwoSecondsAndStopAtTheDeadline) {
  FakeTime time;
  int attempts = 0;
  EXPECT_FALSE(OpenWithBackoff([&] { return ++attempts, false; }, time, time.Clock(),
                               std::chrono::milliseconds(7000)));
  EXPECT_THAT(time.pauses, ElementsAre(200, 400, 800, 1600, 2000, 2000));
  EXPECT_EQ(attempts, 7);  // one more attempt at the deadline itself
}

TEST(BackoffTest, StopsAtTheFirstSuccessfulOpening) {
  FakeTime time;
  int attempts = 0;
  EXPECT_TRUE(OpenWithBackoff([&] { return ++attempts == 3; }, time, time.Clock(),
                              std::chrono::milliseconds(60000)));
  EXPECT_THAT(time.pauses, ElementsAre(200, 400));
}

DeviceJob Job(const std::string& text) {
  return {ParseDeviceAddress(text, "test"), {"SSID=x"}};
}

// Work that records how many jobs run at once, holding each until `release` of them are in.
class Gate {
 public:
  Gate(std::size_t release, std::chrono::milliseconds patience)
      : release_(release), patience_(patience) {}

  DeviceReport Work(const DeviceJob& job) {
    std::unique_lock lock(mutex_);
    order.push_back(job.address.Name());
    mostAtOnce = std::max(mostAtOnce, ++inFlight_);
    changed_.notify_all();
    changed_.wait_for(lock, patience_, [&] { return inFlight_ >= release_ || opened_; });
    opened_ = true;  // once released, the rest go through one by one
    --inFlight_;
    DeviceReport report;
    report.device = job.address.Name();
    return report;
  }

  std::vector<std::string> order;
  std::size_t mostAtOnce = 0;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t release_;
  std::chrono::milliseconds patience_;
  std::size_t inFlight_ = 0;
  bool opened_ = false;
};

TEST(FleetTest, TcpDevicesRunUpToTheJobLimitAtOnce) {
  std::vector<DeviceJob> jobs;
  for (int port = 1; port <= 10; ++port)
    jobs.push_back(Job("tcp:127.0.0.1:" + std::to_string(port)));
  Gate gate(4, std::chrono::seconds(5));
  int started = 0;
  int finished = 0;
  const std::vector<DeviceReport> reports =
      RunFleet(jobs, 4, [&](const DeviceJob& job) { return gate.Work(job); },
               {.started = [&](const DeviceJob&) { ++started; },
                .finished = [&](const DeviceReport&) { ++finished; }});
  EXPECT_EQ(gate.mostAtOnce, 4u);
  ASSERT_EQ(reports.size(), jobs.size());
  for (std::size_t i = 0; i < jobs.size(); ++i)
    EXPECT_EQ(reports[i].device, jobs[i].address.Name());
  EXPECT_EQ(started, 10);
  EXPECT_EQ(finished, 10);
}

TEST(FleetTest, DevicesOnOneSerialLineTakeTurnsInListOrder) {
  const std::vector<DeviceJob> jobs = {Job("serial:COM1,device=3"), Job("serial:com1,device=1"),
                                       Job("serial:COM1,device=2")};
  Gate gate(2, std::chrono::milliseconds(
                   300));  // would let two through at once if the scheduler allowed it
  RunFleet(jobs, 8, [&](const DeviceJob& job) { return gate.Work(job); }, {});
  EXPECT_EQ(gate.mostAtOnce, 1u);
  EXPECT_THAT(gate.order,
              ElementsAre("serial:COM1,device=3,baud=115200", "serial:com1,device=1,baud=115200",
                          "serial:COM1,device=2,baud=115200"));
}

TEST(FleetTest, SeparateSerialLinesRunSideBySide) {
  const std::vector<DeviceJob> jobs = {Job("serial:COM1"), Job("serial:COM2")};
  Gate gate(2, std::chrono::seconds(5));
  RunFleet(jobs, 8, [&](const DeviceJob& job) { return gate.Work(job); }, {});
  EXPECT_EQ(gate.mostAtOnce, 2u);
}

}  // namespace
}  // namespace quillstone::cli
