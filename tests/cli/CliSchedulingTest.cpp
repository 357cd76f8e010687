// The fleet scheduler's concurrency rules and the reconnection backoff, with fake work and a
// fake clock: nothing here waits for real.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "cli/Fleet.h"
#include "cli/InputError.h"
#include "cli/Report.h"

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

TEST(BackoffTest, TheLastPauseEndsAtTheDeadlineNotPastIt) {
  FakeTime time;
  const SteadyClock::time_point start = time.now;
  EXPECT_FALSE(
      OpenWithBackoff([] { return false; }, time, time.Clock(), std::chrono::milliseconds(6500)));
  EXPECT_THAT(time.pauses, ElementsAre(200, 400, 800, 1600, 2000, 1500));
  EXPECT_EQ(time.now - start, std::chrono::milliseconds(6500));
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

std::vector<DeviceJob> TcpJobs(int count) {
  std::vector<DeviceJob> jobs;
  for (int port = 1; port <= count; ++port)
    jobs.push_back(Job("tcp:127.0.0.1:" + std::to_string(port)));
  return jobs;
}

TEST(FleetTest, NeverOneJobMoreThanTheLimit) {
  // The gate would let a fifth one in before it gives up waiting for it.
  Gate gate(5, std::chrono::milliseconds(300));
  RunFleet(TcpJobs(10), 4, [&](const DeviceJob& job) { return gate.Work(job); }, {});
  EXPECT_EQ(gate.mostAtOnce, 4u);
}

// A worker started early must not take a device while the others are still being started:
// the last ones would start late, outrun by the connections of the first.
TEST(FleetTest, NoDeviceStartsBeforeEveryWorkerIsThere) {
  std::mutex mutex;
  std::condition_variable changed;
  bool deviceStarted = false;
  int workersStarted = 0;
  std::vector<int> workersWhenTheDevicesStarted;
  RunFleet(TcpJobs(4), 4,
           [&](const DeviceJob& job) {
             std::lock_guard lock(mutex);
             deviceStarted = true;
             workersWhenTheDevicesStarted.push_back(workersStarted);
             changed.notify_all();
             DeviceReport report;
             report.device = job.address.Name();
             return report;
           },
           {},
           {.interrupted = {}, .startWorker = [&](std::function<void()> work) {
              std::thread thread(std::move(work));
              std::unique_lock lock(mutex);
              ++workersStarted;
              // Time for the new worker to take a device, were it let.
              changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return deviceStarted; });
              return thread;
            }});
  EXPECT_THAT(workersWhenTheDevicesStarted, ElementsAre(3, 3, 3, 3));
}

TEST(FleetTest, WorkersThatCannotStartLeaveTheirShareToTheCallingThread) {
  int refused = 0;
  std::vector<std::string> done;
  const std::vector<DeviceReport> reports = RunFleet(
      TcpJobs(3), 8,
      [&](const DeviceJob& job) {
        done.push_back(job.address.Name());
        DeviceReport report;
        report.device = job.address.Name();
        report.outcome = Outcome::kDone;
        return report;
      },
      {},
      {.interrupted = {}, .startWorker = [&](std::function<void()>) -> std::thread {
         ++refused;
         throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
       }});
  EXPECT_EQ(refused, 1) << "no further attempts once the system said no";
  EXPECT_EQ(done.size(), 3u);
  for (const DeviceReport& report : reports) EXPECT_EQ(report.outcome, Outcome::kDone);
}

TEST(FleetTest, WorkThatThrowsFailsItsOwnDeviceOnly) {
  const std::vector<DeviceReport> reports = RunFleet(TcpJobs(3), 2,
                                                     [](const DeviceJob& job) {
                                                       if (job.address.port == 2)
                                                         throw std::runtime_error("out of memory");
                                                       DeviceReport report;
                                                       report.device = job.address.Name();
                                                       report.outcome = Outcome::kDone;
                                                       return report;
                                                     },
                                                     {});
  EXPECT_EQ(reports[0].outcome, Outcome::kDone);
  EXPECT_EQ(reports[1].outcome, Outcome::kFailed);
  EXPECT_EQ(reports[1].problem, "internal error: out of memory");
  EXPECT_EQ(reports[1].device, "tcp:127.0.0.1:2");
  EXPECT_EQ(reports[2].outcome, Outcome::kDone);
}

TEST(FleetTest, AfterAStopRequestNoFurtherDeviceStarts) {
  bool stop = false;
  int started = 0;
  const std::vector<DeviceReport> reports =
      RunFleet(TcpJobs(4), 1,
               [&](const DeviceJob& job) {
                 if (++started == 2) stop = true;
                 DeviceReport report;
                 report.device = job.address.Name();
                 report.outcome = Outcome::kDone;
                 return report;
               },
               {}, {.interrupted = [&] { return stop; }, .startWorker = {}});
  EXPECT_EQ(started, 2);
  EXPECT_EQ(reports[1].outcome, Outcome::kDone) << "the one in flight finishes";
  EXPECT_EQ(reports[2].outcome, Outcome::kNotStarted);
  EXPECT_EQ(reports[3].problem, kNotStarted);
  EXPECT_EQ(reports[3].device, "tcp:127.0.0.1:4");
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

DeviceReport Reported(const std::string& device, Outcome outcome, const std::string& problem = {}) {
  DeviceReport report;
  report.device = device;
  report.outcome = outcome;
  report.problem = problem;
  return report;
}

TEST(ProgressTest, TheLiveLineMovesOnATimerAndFailuresShowAsTheyHappen) {
  FakeTime time;
  std::ostringstream out;
  ProgressDisplay progress(out, true, false, 3, time.Clock());
  progress.Started();
  time.now += std::chrono::milliseconds(2500);
  progress.Tick();
  EXPECT_THAT(out.str(), ::testing::EndsWith("in flight 1  elapsed 2.5 s  left ~?"));
  progress.Finished(Reported("tcp:a:1", Outcome::kFailed, "SSID: connection closed"));
  EXPECT_THAT(out.str(),
              ::testing::HasSubstr("\rtcp:a:1 failed: 0 written, 0 unchanged, 0 "
                                   "failed, 0 retries, 0.00 s: SSID: connection closed\n"));
  EXPECT_THAT(out.str(),
              ::testing::EndsWith("\rdone 0/3  failed 1  in flight 0  elapsed 2.5 s  left ~5 s"));
  progress.Close();
}

TEST(ProgressTest, QuietOffATerminalPrintsOnlyTheFailures) {
  FakeTime time;
  std::ostringstream out;
  ProgressDisplay progress(out, false, true, 2, time.Clock());
  progress.Finished(Reported("tcp:a:1", Outcome::kVerified));
  progress.Finished(Reported("tcp:a:2", Outcome::kFailed, "x"));
  EXPECT_EQ(out.str(), "tcp:a:2 failed: 0 written, 0 unchanged, 0 failed, 0 retries, 0.00 s: x\n");
}

TEST(SummaryTest, VerifiedAndCheckedDevicesSucceedAndTheFailedOnesAreListedAtTheEnd) {
  std::ostringstream out;
  WriteSummaryTable(
      out, {Reported("tcp:a:1", Outcome::kVerified), Reported("tcp:a:2", Outcome::kChecked),
            Reported("tcp:a:3", Outcome::kFailed, "SSID: connection closed"),
            Reported("tcp:a:4", Outcome::kDone)});
  EXPECT_THAT(out.str(), ::testing::EndsWith("Devices that did not succeed:\n"
                                             "  tcp:a:3: SSID: connection closed\n"
                                             "3 of 4 devices succeeded, 1 failed\n"));
}

TEST(CsvReportTest, FieldsWithQuotesCommasOrLineBreaksAreQuoted) {
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("a\nb"), "\"a\nb\"");
  EXPECT_EQ(CsvField("plain"), "plain");
  const std::string csv = CsvReport({Reported("tcp:a:1", Outcome::kFailed, "SSID \"x\" refused")});
  EXPECT_THAT(csv, ::testing::HasSubstr(",\"SSID \"\"x\"\" refused\","));
}

}  // namespace
}  // namespace quillstone::cli
