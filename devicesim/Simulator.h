#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devicesim/OptionStore.h"

// An in-process stand-in for the device, speaking the capstan wire protocol on its own thread.
namespace quillstone::devsim {

enum class LinkKind {
  kTcp,           // listens on listenAddress:port; one client at a time
  kPty,           // creates a pseudo-terminal; clients open its slave path
  kSerialDevice,  // an existing terminal device at serialPath
};

// Misbehaviour on request. Counts apply to device commands, not to the connection's hello.
struct FaultSettings {
  std::map<std::string, int> refusals;  // option name -> how many writes of it are refused
  std::chrono::milliseconds replyDelay{0};
  bool silent = false;                     // receive and record, never answer
  std::optional<int> closeAfterCommands;   // drop the TCP client after answering this many
  int corruptReplies = 0;                  // this many replies go out with a broken checksum
  std::vector<std::string> dropAtRestart;  // options the store loses at every restart
};

struct SimulatorConfig {
  LinkKind link = LinkKind::kTcp;
  std::string listenAddress = "127.0.0.1";
  std::uint16_t port = 0;  // 0 picks a free port; Port() tells which
  std::string serialPath;
  std::int32_t baud = 115200;
  std::uint16_t deviceNumber = 1;
  // Further numbers answered on a serial line, as several devices sharing one bus would; they
  // share the one option store.
  std::vector<std::uint16_t> moreDeviceNumbers;
  std::string osValue;              // the "~OS" option
  std::filesystem::path stateFile;  // empty: options live in memory only
  std::filesystem::path logFile;    // empty: no log
  OptionMap defaults;               // options the state file does not hold yet
  bool keepRecords = true;          // off for long runs such as benchmarks
  bool logNamesPort = false;        // "port=N" on every log line, for fleets sharing one log
  FaultSettings faults;
  // The misbehaviour this device was given, as text for its log's start line (a chaos fleet's
  // draw, see Chaos.h); empty for none.
  std::string faultNote;
};

struct CommandRecord {
  std::chrono::system_clock::time_point time;
  std::uint16_t code = 0;
  std::uint16_t device = 0;  // the number the request was addressed to
  std::string request;       // the payload up to its first zero byte
  std::uint16_t reply = 0;   // 0 when no reply was sent
};

class Simulator {
 public:
  explicit Simulator(SimulatorConfig config = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Binds or opens the link, then serves on a thread. Throws std::runtime_error on failure.
  void Start();
  // Idempotent; the destructor calls it.
  void Stop();

  std::uint16_t Port() const;
  std::string PtyPath() const;
  // One line saying where the device can be reached.
  std::string Describe() const;

  OptionMap Options() const;
  std::optional<std::string> Option(const std::string& name) const;
  void SetOption(const std::string& name, const std::string& value);

  std::vector<CommandRecord> Records() const;
  // Commands received so far, also when records are not kept.
  std::size_t CommandCount() const;
  bool WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const;
  std::size_t Restarts() const;
  bool WaitForRestarts(std::size_t count, std::chrono::milliseconds timeout) const;
  // TCP clients accepted (a refused second client is not counted).
  std::size_t Connections() const;
  // Between a begin-configuration command and the next end-configuration command of the
  // current connection; a connection that ends also ends configuration mode.
  bool Configuring() const;
  // Connections the client ended while the device was still in configuration mode (logged as
  // "event=disconnect by=client configuring=yes"); those the device dropped itself are not
  // counted.
  std::size_t LeftConfiguring() const;

  // Fault injection; takes effect with the next command.
  void RefuseOption(const std::string& name, int times);
  void SetReplyDelay(std::chrono::milliseconds delay);
  void SetSilent(bool silent);
  void CloseAfterCommands(int count);
  void CorruptReplies(int count);
  void DropAtRestart(const std::string& name);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillstone::devsim
