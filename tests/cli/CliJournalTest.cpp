// The run's journal: what a run leaves on disk at any moment, read back after a write cut short;
// which devices a resume takes again; inputs that differ from the earlier run's; and a report or
// journal that cannot be written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/EarlierRun.h"
#include "cli/InputFiles.h"
#include "cli/Journal.h"
#include "cli/RunInputs.h"
#include "platform/AppError.h"
#include "tests/cli/CliTestSupport.h"

namespace quillstone::cli {
namespace {

using quillstone::testing::CliRunner;
using quillstone::testing::SimulatedFleet;
using quillstone::testing::TcpName;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kSecret = "TopSecretPass";

std::string Options() {
  return std::string("WIFI=1\nSSID=Office\nAuthMode=WPAPSK\nEncrypType=AES\nWPAPSK=") + kSecret +
         "\nwifidhcp=0\n";
}

// A whole journal of a real run: two devices, the second with a list of its own.
struct RealRun {
  SimulatedFleet fleet{2};
  CliRunner runner;
  std::string options = runner.Write("o.ini", Options());
  std::string site = runner.Write("site.csv", "device,SSID\n" + TcpName(*fleet.All()[0]) + ",\n" +
                                                  TcpName(*fleet.All()[1]) + ",Lab\n");
  std::string report = runner.folder.File("run.json");
  int exit = runner.Run({"apply", "--options", options, "--devices", site, "--report", report});
  std::string journal = runner.Read("run.json.journal");
};

TEST(CliJournalTest, ARunJournalsEveryEventBesideItsReportAndNoSecretValue) {
  RealRun run;
  ASSERT_EQ(run.exit, kExitSuccess) << run.runner.err.str();
  EXPECT_THAT(run.journal, Not(HasSubstr(kSecret)));
  EXPECT_THAT(run.journal, HasSubstr("WPAPSK=********"));
  const JournalContents journal = ParseJournal(run.journal, "j");
  EXPECT_TRUE(journal.ended);
  EXPECT_EQ(journal.tornLine, 0);
  ASSERT_EQ(journal.began.size(), 2u);
  const nlohmann::json report = nlohmann::json::parse(run.runner.Read("run.json"));
  // The report's devices are the journal's end records, one for one.
  std::vector<nlohmann::json> ends;
  std::istringstream lines(run.journal);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json record = nlohmann::json::parse(line);
    if (record.value("event", "") == "finished") ends.push_back(record["report"]);
  }
  ASSERT_EQ(ends.size(), 2u);
  for (const nlohmann::json& device : report["devices"]) {
    EXPECT_THAT(ends, ::testing::Contains(device));
  }
  for (const auto& [name, device] : journal.began) {
    EXPECT_EQ(device.taken.size(), 6u) << name;
    EXPECT_TRUE(device.restarted) << name;
    EXPECT_TRUE(device.configurationEnded) << name;
    EXPECT_EQ(device.result, Outcome::kDone) << name;
  }
  EXPECT_NE(journal.began.at(TcpName(*run.fleet.All()[0])).listSha256,
            journal.began.at(TcpName(*run.fleet.All()[1])).listSha256)
      << "each device's own list";
  const std::vector<std::string> roles = {journal.inputs[0].role, journal.inputs[1].role};
  EXPECT_THAT(roles, ::testing::ElementsAre("options", "devices"));

  // Resumed from it, with or without the site list: nothing left, nothing sent, success.
  const std::size_t commands = run.fleet.CommandsReceived();
  const std::string journalFile = run.runner.folder.File("run.json.journal");
  for (const std::vector<std::string>& devices :
       {std::vector<std::string>{}, std::vector<std::string>{"--devices", run.site}}) {
    std::vector<std::string> args = {"apply", "--options", run.options, "--only-failed",
                                     journalFile};
    args.insert(args.end(), devices.begin(), devices.end());
    EXPECT_EQ(run.runner.Run(args), kExitSuccess) << run.runner.err.str();
    EXPECT_THAT(run.runner.err.str(), HasSubstr("finished; nothing to do"));
  }
  EXPECT_EQ(run.fleet.CommandsReceived(), commands);
}

// A write cut short at every byte of a real journal: what is before the cut parses, an
// unfinished last line is ignored and named, and what the journal says only grows with the cut.
TEST(CliJournalTest, AJournalCutAtAnyByteParsesAndIgnoresOnlyItsUnfinishedLastLine) {
  RealRun run;
  ASSERT_EQ(run.exit, kExitSuccess) << run.runner.err.str();
  const std::size_t headerEnd = run.journal.find('\n') + 1;
  std::size_t before = 0;
  for (std::size_t cut = headerEnd; cut <= run.journal.size(); ++cut) {
    const std::string text = run.journal.substr(0, cut);
    JournalContents journal;
    ASSERT_NO_THROW(journal = ParseJournal(text, "j")) << "cut at " << cut;
    const bool atLineEnd = text.back() == '\n';
    EXPECT_EQ(journal.tornLine != 0, !atLineEnd) << "cut at " << cut;
    if (!atLineEnd) {
      EXPECT_EQ(journal.tornLine, std::count(text.begin(), text.end(), '\n') + 1) << cut;
    }
    std::size_t known = journal.began.size() + (journal.ended ? 1 : 0);
    for (const auto& [name, device] : journal.began) {
      known += device.taken.size() + (device.restarted ? 1 : 0) +
               (device.configurationEnded ? 1 : 0) + (device.result ? 1 : 0);
    }
    EXPECT_GE(known, before) << "cut at " << cut;
    EXPECT_EQ(known, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) - 1)
        << "one thing known per whole record after the header, cut at " << cut;
    before = known;
  }
  EXPECT_THROW(ParseJournal(run.journal.substr(0, headerEnd - 1), "j"), AppError)
      << "a header cut short leaves no record of a run";
}

struct BadJournal {
  const char* name;
  std::string text;
  std::string says;
};

void PrintTo(const BadJournal& value, std::ostream* out) {
  *out << value.name;
}

class CliBadJournalTest : public ::testing::TestWithParam<BadJournal> {};

TEST_P(CliBadJournalTest, IsRefusedNamingItsLine) {
  try {
    ParseJournal(GetParam().text, "j");
    FAIL() << "accepted";
  } catch (const AppError& error) {
    EXPECT_THAT(error.what(), HasSubstr(GetParam().says));
  }
}

const std::string kHeader =
    R"({"journal":"quillstone-cli","restart":"always","devices":["tcp:127.0.0.1:1"]})"
    "\n";
const std::string kStart =
    R"({"event":"started","device":"tcp:127.0.0.1:1","options":2,"list":"ab"})"
    "\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadJournalTest,
    ::testing::Values(
        BadJournal{"Empty", "", "holds no record of a run"},
        BadJournal{"AReportInstead", "{\"devices\":[]}\n", "j:1: not a journal of quillstone-cli"},
        BadJournal{"GarbageInTheMiddle", kHeader + "{\"event\":\"sta\n" + kStart,
                   "j:2: not a record"},
        BadJournal{"ALastLineThatIsWholeButNoRecord", kHeader + kStart + "[1,2]\n",
                   "j:3: not a record"},
        BadJournal{
            "AnOptionBeforeItsDeviceStarted",
            kHeader +
                R"({"event":"option","device":"tcp:127.0.0.1:1","name":"A","result":"written"})"
                "\n",
            "j:2: a record of tcp:127.0.0.1:1 before its start"},
        BadJournal{"AnOptionWithoutAResult",
                   kHeader + kStart +
                       R"({"event":"option","device":"tcp:127.0.0.1:1","name":"A"})"
                       "\n",
                   "j:3: a journal record without its \"result\""},
        BadJournal{"AnEndWithAnUnknownResult",
                   kHeader + kStart +
                       R"({"event":"finished","device":"tcp:127.0.0.1:1","report":{"result":"ok"}})"
                       "\n",
                   "j:3: an end record without a known result"},
        BadJournal{"ARecordWithoutItsEvent", kHeader + "{\"device\":\"x\"}\n",
                   "j:2: a journal record without its \"event\""}),
    [](const ::testing::TestParamInfo<BadJournal>& journal) { return journal.param.name; });

// When a device counts as finished, by what the journal holds of it.
struct FinishCase {
  const char* name;
  std::string restart;
  std::vector<std::string> results;  // of the options journalled, of a list of three
  bool restarted;
  std::optional<Outcome> end;
  bool finished;
};

void PrintTo(const FinishCase& value, std::ostream* out) {
  *out << value.name;
}

class CliResumeSelectionTest : public ::testing::TestWithParam<FinishCase> {};

TEST_P(CliResumeSelectionTest, ADeviceIsFinishedOnlyWithItsWholeListAndItsRestart) {
  JournalDevice device;
  device.name = "tcp:127.0.0.1:1";
  device.options = 3;
  for (const std::string& result : GetParam().results) device.taken.push_back({"A", result, {}});
  device.restarted = GetParam().restarted;
  device.result = GetParam().end;
  EXPECT_EQ(DeviceFinished(device, GetParam().restart), GetParam().finished);
}

const std::vector<std::string> kAllWritten = {"written", "written", "written"};
const std::vector<std::string> kAllUnchanged = {"unchanged", "unchanged", "unchanged"};

INSTANTIATE_TEST_SUITE_P(
    Cases, CliResumeSelectionTest,
    ::testing::Values(
        FinishCase{"WholeListAndRestart", "always", kAllWritten, true, {}, true},
        FinishCase{"WholeListNoRestart", "always", kAllWritten, false, {}, false},
        FinishCase{"TwoOfThree", "always", {"written", "written"}, true, {}, false},
        FinishCase{"NothingYet", "always", {}, false, {}, false},
        FinishCase{"OneFailed", "always", {"written", "failed", "written"}, true, {}, false},
        FinishCase{"ChangedNothingWrittenNoRestartDue", "changed", kAllUnchanged, false, {}, true},
        FinishCase{"ChangedOneWrittenNotRestarted",
                   "changed",
                   {"unchanged", "written", "unchanged"},
                   false,
                   {},
                   false},
        FinishCase{"NeverRestartsSoTheListIsAll", "never", kAllWritten, false, {}, true},
        FinishCase{"NeverButTwoOfThree", "never", {"written", "written"}, false, {}, false},
        FinishCase{"EndedDone", "always", kAllWritten, true, Outcome::kDone, true},
        FinishCase{"EndedVerified", "always", kAllWritten, true, Outcome::kVerified, true},
        FinishCase{"EndedInterrupted", "always", {"written"}, false, Outcome::kInterrupted, false},
        FinishCase{"EndedFailedVerifyDespiteTheWholeList", "always", kAllWritten, true,
                   Outcome::kFailed, false}),
    [](const ::testing::TestParamInfo<FinishCase>& finish) { return finish.param.name; });

// The journal of a run cut off after its first device and one option of the second: a resume
// takes the second and the never-started third, not the first; the first only once its list is
// another.
TEST(CliResumeTest, AKilledRunsJournalIsResumedFromWhereEachDeviceWas) {
  SimulatedFleet fleet(3);
  CliRunner runner;
  const std::string options = runner.Write("o.ini", Options());
  std::string rows = "device\n";
  for (devsim::Simulator* device : fleet.All()) rows += TcpName(*device) + "\n";
  const std::string site = runner.Write("site.csv", rows);
  const std::string a = TcpName(*fleet.All()[0]);
  const std::string b = TcpName(*fleet.All()[1]);
  const std::string list = ListSha256(ReadOptionsFile(options));
  nlohmann::json header = {
      {"journal", "quillstone-cli"},
      {"restart", "always"},
      {"devices", {a, b, TcpName(*fleet.All()[2])}},
      {"inputs",
       {{{"file", options}, {"sha256", HashInputs({{options, ""}})[0].sha256}, {"role", "options"}},
        {{"file", site}, {"sha256", HashInputs({{site, ""}})[0].sha256}, {"role", "devices"}}}}};
  std::string journal = header.dump() + "\n";
  for (const std::string& device : {a, b}) {
    journal +=
        nlohmann::json({{"event", "started"}, {"device", device}, {"options", 6}, {"list", list}})
            .dump() +
        "\n";
  }
  for (const char* name : {"WIFI", "SSID", "AuthMode", "EncrypType", "WPAPSK", "wifidhcp"}) {
    journal +=
        nlohmann::json({{"event", "option"}, {"device", a}, {"name", name}, {"result", "written"}})
            .dump() +
        "\n";
  }
  journal += nlohmann::json({{"event", "restarted"}, {"device", a}}).dump() + "\n";
  journal +=
      nlohmann::json({{"event", "option"}, {"device", b}, {"name", "WIFI"}, {"result", "written"}})
          .dump() +
      "\n";
  journal += R"({"event":"option","device":")" + b + R"(","na)";  // cut off while written
  const std::string killed = runner.Write("killed.journal", journal);

  ASSERT_EQ(runner.Run({"apply", "--options", options, "--devices", site, "--only-failed", killed,
                        "--json"}),
            kExitSuccess)
      << runner.err.str();
  const nlohmann::json report = nlohmann::json::parse(runner.out.str());
  std::vector<std::string> taken;
  for (const nlohmann::json& device : report["devices"]) taken.push_back(device["device"]);
  EXPECT_THAT(taken, ::testing::ElementsAre(b, TcpName(*fleet.All()[2])));
  EXPECT_EQ(fleet.All()[0]->CommandCount(), 0u) << "finished: left alone";
  EXPECT_THAT(runner.err.str(), HasSubstr("killed.journal:12: an unfinished last record"));
  EXPECT_THAT(runner.err.str(), HasSubstr(b + ": 1 of 6 options taken (1 written), not restarted"));

  // Other inputs: refused, nothing sent; taken when asked, where a device's list is another.
  const std::string other = runner.Write("other.ini", Options() + "wifimask=255.255.255.0\n");
  ASSERT_EQ(runner.Run({"apply", "--options", other, "--devices", site, "--only-failed", killed}),
            kExitUsage);
  EXPECT_THAT(
      runner.err.str(),
      HasSubstr("is the record of a run with another options file: " + other + " (SHA-256 "));
  EXPECT_THAT(runner.err.str(), HasSubstr("--allow-changed-inputs"));
  EXPECT_EQ(fleet.All()[0]->CommandCount(), 0u);
  ASSERT_EQ(runner.Run({"apply", "--options", other, "--devices", site, "--only-failed", killed,
                        "--allow-changed-inputs", "--json"}),
            kExitSuccess)
      << runner.err.str();
  EXPECT_EQ(nlohmann::json::parse(runner.out.str())["devices"].size(), 3u)
      << "the finished device had another list";
}

struct InputsCase {
  const char* name;
  bool journal;
  std::string options;  // the current options file's SHA-256
  std::optional<std::string> devices;
  bool differs;
};

void PrintTo(const InputsCase& value, std::ostream* out) {
  *out << value.name;
}

class CliInputsDifferTest : public ::testing::TestWithParam<InputsCase> {};

TEST_P(CliInputsDifferTest, ComparesTheOptionsFileAndTheSiteList) {
  EarlierRun earlier;
  earlier.path = "earlier";
  earlier.journal = GetParam().journal;
  earlier.optionsSha256 = "o1";
  if (GetParam().journal) {
    earlier.devicesSha256 = "d1";
  } else {
    earlier.anyInputSha256 = {"d1", "r1"};
  }
  const std::optional<InputFile> devices =
      GetParam().devices ? std::optional(InputFile{"site.csv", *GetParam().devices, "devices"})
                         : std::nullopt;
  EXPECT_EQ(!InputsDiffer(earlier, {"o.ini", GetParam().options, "options"}, devices).empty(),
            GetParam().differs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliInputsDifferTest,
    ::testing::Values(InputsCase{"JournalSame", true, "o1", "d1", false},
                      InputsCase{"JournalOtherOptions", true, "o2", "d1", true},
                      InputsCase{"JournalOtherSiteList", true, "o1", "d2", true},
                      InputsCase{"JournalNoSiteListNow", true, "o1", std::nullopt, false},
                      InputsCase{"ReportSame", false, "o1", "d1", false},
                      InputsCase{"ReportOtherOptions", false, "o2", std::nullopt, true},
                      InputsCase{"ReportOtherSiteList", false, "o1", "d2", true},
                      InputsCase{"ReportSiteListWasTheEarlierRunsRecord", false, "o1", "r1",
                                 false}),
    [](const ::testing::TestParamInfo<InputsCase>& inputs) { return inputs.param.name; });

// A report that cannot be written completely: said on stderr, the run fails, the device results
// are still printed.
TEST(CliReportWriteTest, AReportOnAFullDeviceFailsTheRunAfterTheResults) {
  struct stat before {};
  if (::stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) {
    GTEST_SKIP() << "no /dev/full";
  }
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string options = runner.Write("o.ini", "SSID=x\n");
  EXPECT_EQ(runner.Run(
                {"apply", "--options", options, TcpName(*fleet.All()[0]), "--report", "/dev/full"}),
            kExitDeviceFailed);
  EXPECT_THAT(runner.err.str(),
              HasSubstr("quillstone-cli: the report /dev/full could not be written completely"));
  EXPECT_THAT(runner.out.str(), HasSubstr("1 of 1 devices succeeded"));
  struct stat after {};
  ASSERT_EQ(::stat("/dev/full", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode)) << "written in place, never replaced";
  EXPECT_FALSE(std::filesystem::exists("/dev/full.journal")) << "no journal beside a device";
}

TEST(CliReportWriteTest, AReportWhoseRenameFailsFailsTheRun) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string options = runner.Write("o.ini", "SSID=x\n");
  const std::string report = runner.folder.File("out.json");
  // A folder takes the report's place once the run has begun: the rename over it fails.
  const ClockNow clock = runner.environment.now;
  runner.environment.now = [&] {
    std::filesystem::create_directories(report + "/taken");
    return clock();
  };
  EXPECT_EQ(runner.Run({"apply", "--options", options, TcpName(*fleet.All()[0]), "--report", report,
                        "--journal", runner.folder.File("j")}),
            kExitDeviceFailed);
  EXPECT_THAT(runner.err.str(), HasSubstr("the report " + report +
                                          " could not be written completely (writing, flushing "
                                          "or renaming its temporary file failed)"));
  EXPECT_THAT(runner.out.str(), HasSubstr("1 of 1 devices succeeded"));
  EXPECT_TRUE(ParseJournal(runner.Read("j"), "j").ended) << "the journal holds the run";
}

TEST(CliReportWriteTest, AJournalThatTakesNoRecordSendsNothing) {
  struct stat full {};
  if (::stat("/dev/full", &full) != 0 || !S_ISCHR(full.st_mode)) GTEST_SKIP() << "no /dev/full";
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string options = runner.Write("o.ini", "SSID=x\n");
  EXPECT_EQ(runner.Run({"apply", "--options", options, TcpName(*fleet.All()[0]), "--journal",
                        "/dev/full"}),
            kExitUsage);
  EXPECT_THAT(runner.err.str(), HasSubstr("the journal /dev/full could not be written"));
  EXPECT_EQ(fleet.CommandsReceived(), 0u);
}

}  // namespace
}  // namespace quillstone::cli
