#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devicelink/DeviceApi.h"

namespace quillstone {

// Ordered option texts; duplicates allowed, order of insertion is order of sending.
using OptionList = std::vector<std::string>;

// What became of one option, as far as the replies tell.
enum class OptionResult {
  kWritten,           // the write was acknowledged
  kUnchanged,         // the device held the wanted value already; nothing sent
  kRefused,           // the device answered, but not with success
  kNoAnswer,          // no reply within the timeout
  kConnectionClosed,  // the connection is lost (or the library no longer knows it)
  kUnreadable,        // the device answered something unreadable
  kNotSent,           // too long for its buffer, or an argument the library refused
};

// The result a reply code stands for when it ends a write (kWritten for success).
OptionResult ResultOfReply(std::uint16_t reply);

// True for codes the device itself sends (success or a refusal); false for the library's own
// codes: no answer, a lost connection, an unreadable answer.
bool DeviceAnswered(std::uint16_t reply);

struct OptionOutcome {
  std::string name;  // the text before the first "=", or the whole text without one
  OptionResult result = OptionResult::kNotSent;
  std::uint16_t reply = 0;  // the last reply code for the option
  bool retried = false;
};

// What one batch did, option by option summed up.
struct BatchOutcome {
  int written = 0;                     // written or found equal: the window's count
  int alreadyEqual = 0;                // found equal on the first read, nothing sent
  int retries = 0;                     // second attempts after a refused first one
  int failed = 0;                      // refused twice
  bool stopped = false;                // a stop request ended the batch before its last option
  std::vector<OptionOutcome> options;  // one per option attempted, in list order
};

// One device connection: its handle, command word and scrambling decision, and the services
// it reaches the device and the system through. The window's functions work on the
// process-wide one (ForProcess); the command-line tool keeps one per device, several at once.
class LinkConnection {
 public:
  // Its own handle, command word and scrambling decision.
  explicit LinkConnection(LinkServices services);
  // DeviceHandle, CommandWord and ScrambleOptions with the current process-wide services.
  static LinkConnection ForProcess();

  LinkConnection(const LinkConnection&) = delete;
  LinkConnection& operator=(const LinkConnection&) = delete;

  // The library's open call only; the housekeeping is the caller's. True with a nonzero handle.
  bool OpenNetwork(const std::string& address, std::int32_t port);
  bool OpenSerial(const std::string& portName, std::int32_t deviceNumber, std::int32_t baud);
  void Close();

  void BeginDeviceConfig();
  void EndDeviceConfig();
  void RestartDevice();

  std::string ReadOption(const std::string& name) { return ReadOption(Handle(), name); }
  std::string ReadOption(std::int32_t handle, const std::string& name);
  bool WriteOption(std::int32_t handle, const std::string& optionText, bool scrambleAllowed,
                   bool* alreadyEqual = nullptr);
  // The same, telling what happened. A wanted value that is empty counts as held without a
  // write only when the read was answered by the device (an empty value, or the device saying
  // it has no such option); after no answer or a lost connection the write is sent.
  OptionResult WriteOptionWithResult(std::int32_t handle, const std::string& optionText,
                                     bool scrambleAllowed);
  // `stop`, when given, is asked before each option; once it says true the option in flight
  // has finished and the batch ends there (stopped). The services' windowClosing ends it the
  // same way, asked after the window's messages have run.
  // `taken`, when given, hears of each option as soon as the device has taken it (or not).
  BatchOutcome WriteOptionList(const OptionList& options,
                               const std::function<bool()>& stop = nullptr,
                               const std::function<void(const OptionOutcome&)>& taken = nullptr);

  std::int32_t Handle() const { return *handle_; }
  std::uint16_t LastReply() const { return *commandWord_; }
  bool ScramblesOptions() const { return *scrambleOptions_; }
  const LinkServices& Services() const { return services_; }

 private:
  LinkConnection(LinkServices services, std::int32_t* handle, std::uint16_t* commandWord,
                 bool* scrambleOptions);
  void SendBareCommand(std::uint16_t code, std::int32_t timeoutMs);
  int DrawScrambleKey();

  LinkServices services_;
  std::int32_t ownHandle_ = 0;
  std::uint16_t ownCommandWord_ = 0;
  bool ownScrambleOptions_ = false;
  std::int32_t* handle_;
  std::uint16_t* commandWord_;
  bool* scrambleOptions_;
};

// The scrambled (chained exclusive-or) form of an option text with the given key (1..254).
std::string ScrambleOptionText(const std::string& optionText, int key);

// Whether an option text can go out in one write request whatever the device: its name within
// what the read before the write holds, the text within one frame's payload, and a "~"
// option's scrambled form within its buffer (a device may or may not ask for scrambling).
struct OptionFit {
  bool fits = true;
  std::size_t usableBytes = 0;  // when it does not fit: the leading bytes of the text that would
  std::string bound;            // when it does not fit: the bound passed, in words
};
OptionFit FitOfOption(const std::string& optionText);

}  // namespace quillstone
