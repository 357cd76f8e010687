// quillstone-devsim run as a child process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <quillstone/Version.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "capstan/capstan.h"
#include "devicesim/OptionStore.h"
#include "devicesim/Simulator.h"
#include "tests/capstan/TestSupport.h"
#include "tests/support/LoopbackPort.h"

namespace quillstone {
namespace {

using namespace quillstone::testing;

constexpr milliseconds kStartWait{5000};

// The program with its standard output and error on one pipe. Only this test's own child is
// ever signalled.
class ChildProgram {
 public:
  explicit ChildProgram(std::vector<std::string> args) {
    args.insert(args.begin(), QUILLSTONE_DEVSIM_PROGRAM);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int output[2];
    EXPECT_EQ(::pipe2(output, O_CLOEXEC), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(output[1], STDOUT_FILENO);
      ::dup2(output[1], STDERR_FILENO);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(output[1]);
    output_ = output[0];
  }

  ~ChildProgram() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(output_);
  }

  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  // The next line of output, or nothing by the timeout or at the end of output.
  std::optional<std::string> ReadLine(milliseconds timeout = kStartWait) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      if (!ReadMore(deadline)) return std::nullopt;
    }
  }

  std::string ReadAll(milliseconds timeout = kStartWait) {
    const auto deadline = Clock::now() + timeout;
    while (ReadMore(deadline)) {
    }
    return std::exchange(pending_, {});
  }

  void Signal(int number) { ::kill(pid_, number); }

  // The exit code, or -1 when the program did not end normally.
  int WaitForExit() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  bool ReadMore(Clock::time_point deadline) {
    pollfd readable{output_, POLLIN, 0};
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) != 1) {
      return false;
    }
    char chunk[512];
    const ssize_t got = ::read(output_, chunk, sizeof chunk);
    if (got <= 0) return false;
    pending_.append(chunk, static_cast<std::size_t>(got));
    return true;
  }

  pid_t pid_ = -1;
  int output_ = -1;
  std::string pending_;
};

TEST(DevsimProgram, PrintsItsHelpAndExits) {
  ChildProgram program({"--help"});
  const std::string help = program.ReadAll();
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_EQ(help.rfind("Usage: quillstone-devsim", 0), 0U) << help;
  for (const char* option : {"--listen", "--pty", "--serial", "--os", "--state", "--log",
                             "--refuse", "--delay", "--silent", "--close-after"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

TEST(DevsimProgram, PrintsTheProjectVersionAndExits) {
  ChildProgram program({"--version"});
  const std::string output = program.ReadAll();
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_EQ(output, std::string("quillstone-devsim ") + kVersion + "\n");
}

TEST(DevsimProgram, RejectsAnUnknownOption) {
  ChildProgram program({"--frobnicate"});
  const std::string output = program.ReadAll();
  EXPECT_EQ(program.WaitForExit(), 2);
  EXPECT_NE(output.find("unknown option '--frobnicate'"), std::string::npos) << output;
}

TEST(DevsimProgram, ReportsAPortInUse) {
  devsim::Simulator occupant;
  occupant.Start();
  ChildProgram program({"--listen", "127.0.0.1:" + std::to_string(occupant.Port())});
  const std::string output = program.ReadAll();
  EXPECT_EQ(program.WaitForExit(), 1);
  EXPECT_NE(output.find("cannot listen on"), std::string::npos) << output;
}

TEST(DevsimProgram, AnswersAReadOverTcpAndStopsOnSigterm) {
  ChildProgram program({"--listen", "127.0.0.1:0", "--os", "NONE"});
  const auto line = program.ReadLine();
  ASSERT_TRUE(line.has_value());
  std::smatch match;
  ASSERT_TRUE(std::regex_match(
      *line, match, std::regex(R"(quillstone-devsim: listening on 127\.0\.0\.1:(\d+), device 1)")))
      << *line;
  const int port = std::stoi(match[1]);
  {
    HandleGuard handle(OpenTcp(static_cast<std::uint16_t>(port)));
    ASSERT_NE(handle.Get(), 0);
    const ReadResult read = ReadOption(handle.Get(), "~OS");
    EXPECT_EQ(read.reply, CAPSTAN_REPLY_OK);
    EXPECT_EQ(read.value, "NONE");
  }
  program.Signal(SIGTERM);
  EXPECT_EQ(program.ReadLine(), "quillstone-devsim: stopped");
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST(DevsimProgram, ListsAChaosFleetsFaultsAndNamesEachDevicesInItsLog) {
  TempDir dir;
  const auto log = dir.Path() / "fleet.log";
  ChildProgram program({"--listen", "127.0.0.1:" + std::to_string(ClosedLoopbackPort()),
                        "--devices", "8", "--chaos", "11", "--log", log.string()});
  const auto listening = program.ReadLine();
  ASSERT_TRUE(listening.has_value());
  ASSERT_NE(listening->find("8 devices, listening on"), std::string::npos) << *listening;
  EXPECT_EQ(program.ReadLine(),
            "quillstone-devsim: chaos seed 11: 1 healthy, 1 slow, 1 refuse, 1 refuse-always, "
            "1 drop, 1 corrupt, 1 silent, 1 lose-at-restart");
  program.Signal(SIGTERM);
  EXPECT_EQ(program.ReadLine(), "quillstone-devsim: stopped");
  EXPECT_EQ(program.WaitForExit(), 0);
  const std::string text = ReadFileText(log);
  const std::regex start(R"(port=\d+ event=start device=1 os="" fault=[a-z-]+ .*lasting=\w+)");
  EXPECT_EQ(
      std::distance(std::sregex_iterator(text.begin(), text.end(), start), std::sregex_iterator()),
      8)
      << text;
}

TEST(DevsimProgram, AnswersOverItsPseudoTerminalAndStopsOnSigint) {
  TempDir dir;
  const auto state = dir.Path() / "state.ini";
  ChildProgram program({"--pty", "--device-number", "3", "--state", state.string()});
  const auto line = program.ReadLine();
  ASSERT_TRUE(line.has_value());
  std::smatch match;
  ASSERT_TRUE(std::regex_match(*line, match,
                               std::regex(R"(quillstone-devsim: pseudo-terminal (\S+), device 3)")))
      << *line;
  const std::string path = match[1];
  {
    HandleGuard handle(HALYARD_INIT(CAPSTAN_TRANSPORT_SERIAL, path.c_str(), 3, 9600, 0, 0));
    ASSERT_NE(handle.Get(), 0);
    EXPECT_EQ(WriteOption(handle.Get(), "SSID=bench"), CAPSTAN_REPLY_OK);
    EXPECT_EQ(ReadOption(handle.Get(), "SSID").value, "bench");
  }
  program.Signal(SIGINT);
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_EQ(devsim::OptionStore::Parse(ReadFileText(state)).at("SSID"), "bench");
}

}  // namespace
}  // namespace quillstone
