#pragma once

// What an end-to-end test of a device action needs around the main window: the real
// communication library talking to the in-process device simulator over loopback or a
// pseudo-terminal, and fakes for every platform service the device link reaches (the ARP
// flush, the process table, the pause between options). Shared by the wireless apply tests,
// the modem page tests and the wireless apply benchmark, so it stays free of GoogleTest.

#include <QComboBox>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capstan/capstan.h"
#include "devicelink/DeviceApi.h"
#include "devicelink/OptionExchange.h"
#include "devicesim/Simulator.h"
#include "tests/support/Environment.h"
#include "tests/support/FakeMessageBoxes.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LoopbackPort.h"
#include "tests/support/OpenNetworkOptions.h"
#include "tests/support/TempDirectory.h"

namespace quillstone::testing {

inline constexpr std::uint16_t kReadCode = CAPSTAN_CMD_READ_OPTION;
inline constexpr std::uint16_t kWriteCode = CAPSTAN_CMD_WRITE_OPTION;
inline constexpr std::uint16_t kBeginCode = CAPSTAN_CMD_BEGIN_CONFIG;
inline constexpr std::uint16_t kEndCode = CAPSTAN_CMD_END_CONFIG;
inline constexpr std::uint16_t kEndSessionCode = CAPSTAN_CMD_END_SESSION;
inline constexpr std::uint16_t kRestartCode = CAPSTAN_CMD_RESTART;

// The simulator, started, with its log in its own folder so that a test can see the
// connection's end as the device saw it.
class SimulatedDevice {
 public:
  explicit SimulatedDevice(devsim::SimulatorConfig config = {}) : simulator_(WithLog(config)) {
    simulator_.Start();
  }

  devsim::Simulator& operator*() { return simulator_; }
  devsim::Simulator* operator->() { return &simulator_; }
  const devsim::Simulator* operator->() const { return &simulator_; }

  std::vector<std::uint16_t> Codes() const {
    std::vector<std::uint16_t> codes;
    for (const auto& record : simulator_.Records()) codes.push_back(record.code);
    return codes;
  }

  // Requests of the given command, in the order received.
  std::vector<std::string> Requests(std::uint16_t code) const {
    std::vector<std::string> requests;
    for (const auto& record : simulator_.Records()) {
      if (record.code == code) requests.push_back(record.request);
    }
    return requests;
  }

  // "name=value" for the name of each option as the device holds it; "name" alone when it
  // holds none.
  OptionList Held(const OptionList& options) const {
    OptionList held;
    for (const std::string& option : options) {
      const std::string name = option.substr(0, option.find('='));
      const auto value = simulator_.Option(name);
      held.push_back(value ? name + "=" + *value : name);
    }
    return held;
  }

  // Waits until the device has seen its client hang up; the serving thread notices it after
  // the handler has returned.
  bool WaitForHangUp(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string log = LogText();
      if (log.find("event=disconnect") != std::string::npos ||
          log.find("event=line-closed") != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  std::string LogText() const {
    std::ifstream in(logFolder_.File("device.log"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  devsim::SimulatorConfig WithLog(devsim::SimulatorConfig config) const {
    config.logFile = logFolder_.File("device.log");
    return config;
  }

  TempDirectory logFolder_;
  devsim::Simulator simulator_;
};

// Every option of `options` preset on the device to a value none of them asks for, so that
// each one travels as a write and the device's records show the whole list.
inline devsim::OptionMap StaleValuesFor(const OptionList& options) {
  devsim::OptionMap stale;
  for (const std::string& option : options) {
    stale[option.substr(0, option.find('='))] = "stale";
  }
  return stale;
}

// Maps a serial port name to a pseudo-terminal for the library, as long as it lives.
class ScopedSerialPortMap {
 public:
  ScopedSerialPortMap(const std::string& portName, const std::string& devicePath) {
    folder_.Write("ports.ini", portName + "=" + devicePath + "\n");
    SetEnvVariable("CAPSTAN_PORT_MAP", folder_.File("ports.ini"));
  }
  ~ScopedSerialPortMap() { UnsetEnvVariable("CAPSTAN_PORT_MAP"); }
  ScopedSerialPortMap(const ScopedSerialPortMap&) = delete;
  ScopedSerialPortMap& operator=(const ScopedSerialPortMap&) = delete;

 private:
  TempDirectory folder_;
};

// The user picks an item of a pick-only list: the selection changes, then the list's
// change handling runs.
inline void PickItem(QComboBox* combo, const QString& text) {
  const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (index < 0) throw std::invalid_argument("no item " + text.toStdString());
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

// The lines of options.ini after an apply: the options, each ended by CR LF, then section
// Config with the given key lines.
inline std::string OptionsIniBytes(const OptionList& options,
                                   const std::vector<std::string>& configLines) {
  std::string bytes;
  for (const std::string& option : options) bytes += option + "\r\n";
  bytes += "[Config]\r\n";
  for (const std::string& line : configLines) bytes += line + "\r\n";
  return bytes;
}

// One shown box as a line, so that expectations and failures read like the screen.
inline std::string BoxLine(FakeMessageBoxes::Kind kind, const std::string& caption,
                           const std::string& text) {
  static const char* const kKindNames[] = {"information", "warning", "confirm", "plain", "error"};
  return std::string(kKindNames[static_cast<int>(kind)]) + " [" + caption + "] " + text;
}
inline std::vector<std::string> ShownBoxes(const FakeMessageBoxes& boxes) {
  std::vector<std::string> lines;
  for (const auto& box : boxes.shown) lines.push_back(BoxLine(box.kind, box.caption, box.text));
  return lines;
}
inline std::string InformationBox(const std::string& text) {
  return BoxLine(FakeMessageBoxes::Kind::Information, "Information", text);
}
inline std::string WarningBox(const std::string& text, const std::string& caption) {
  return BoxLine(FakeMessageBoxes::Kind::Warning, caption, text);
}
inline std::string ConfirmBox(const std::string& text) {
  return BoxLine(FakeMessageBoxes::Kind::Confirm, "Confirm", text);
}
inline std::string PlainBox(const std::string& text) {
  return BoxLine(FakeMessageBoxes::Kind::Plain, "Quillstone", text);
}
inline std::string ErrorBox(const std::string& text) {
  return BoxLine(FakeMessageBoxes::Kind::Error, "Quillstone", text);
}

}  // namespace quillstone::testing
