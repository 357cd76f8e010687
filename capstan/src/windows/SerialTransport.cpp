// A COM port through the Win32 communications functions: the rate and framing through the DCB,
// every wait through COMMTIMEOUTS, so no call blocks beyond the caller's deadline.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string_view>

#include "capstan/src/PortMap.h"
#include "capstan/src/Transport.h"

namespace quillstone::capstan {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";
constexpr DWORD kReadSliceMs = 20;

DWORD MillisecondsUntil(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  // MAXDWORD itself means "no timeout" in COMMTIMEOUTS.
  return static_cast<DWORD>(std::min<long long>(ms, MAXDWORD - 1));
}

DWORD ChunkSize(std::size_t size) {
  return static_cast<DWORD>(std::min<std::size_t>(size, INT_MAX));
}

// Raw 8N1 without flow control, error characters or aborts on line errors.
bool ConfigureLine(HANDLE line, std::int32_t baud) {
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (!::GetCommState(line, &settings)) return false;
  settings.BaudRate = static_cast<DWORD>(baud);
  settings.ByteSize = 8;
  settings.Parity = NOPARITY;
  settings.StopBits = ONESTOPBIT;
  settings.fBinary = TRUE;
  settings.fParity = FALSE;
  settings.fOutxCtsFlow = FALSE;
  settings.fOutxDsrFlow = FALSE;
  settings.fDtrControl = DTR_CONTROL_ENABLE;
  settings.fDsrSensitivity = FALSE;
  settings.fTXContinueOnXoff = TRUE;
  settings.fOutX = FALSE;
  settings.fInX = FALSE;
  settings.fErrorChar = FALSE;
  settings.fNull = FALSE;
  settings.fRtsControl = RTS_CONTROL_ENABLE;
  settings.fAbortOnError = FALSE;
  return ::SetCommState(line, &settings) != FALSE;
}

class CommTransport final : public Transport {
 public:
  explicit CommTransport(HANDLE line) : line_(line) {}
  ~CommTransport() override { ::CloseHandle(line_); }
  CommTransport(const CommTransport&) = delete;
  CommTransport& operator=(const CommTransport&) = delete;

  LinkStatus Send(std::span<const std::uint8_t> bytes, Clock::time_point deadline) override {
    while (!bytes.empty()) {
      // A write that runs out of time succeeds with fewer bytes written.
      COMMTIMEOUTS timeouts{};
      timeouts.WriteTotalTimeoutConstant = std::max<DWORD>(1, MillisecondsUntil(deadline));
      DWORD written = 0;
      if (!::SetCommTimeouts(line_, &timeouts) ||
          !::WriteFile(line_, bytes.data(), ChunkSize(bytes.size()), &written, nullptr)) {
        return LinkStatus::kClosed;
      }
      bytes = bytes.subspan(written);
      if (!bytes.empty() && Clock::now() >= deadline) return LinkStatus::kTimeout;
    }
    return LinkStatus::kOk;
  }

  Received Receive(std::span<std::uint8_t> into, Clock::time_point deadline) override {
    for (;;) {
      // With the interval and multiplier at MAXDWORD a read returns as soon as a byte is there,
      // or after the constant; with the constant at 0 it returns at once. Some drivers (and
      // Wine) wait out the constant whatever arrives, so the wait goes in short slices.
      const DWORD wait = std::min(MillisecondsUntil(deadline), kReadSliceMs);
      COMMTIMEOUTS timeouts{};
      timeouts.ReadIntervalTimeout = MAXDWORD;
      timeouts.ReadTotalTimeoutMultiplier = wait > 0 ? MAXDWORD : 0;
      timeouts.ReadTotalTimeoutConstant = wait;
      DWORD got = 0;
      if (!::SetCommTimeouts(line_, &timeouts) ||
          !::ReadFile(line_, into.data(), ChunkSize(into.size()), &got, nullptr)) {
        return Received{LinkStatus::kClosed, 0};
      }
      if (got > 0) return Received{LinkStatus::kOk, got};
      if (wait == 0 || Clock::now() >= deadline) return Received{LinkStatus::kTimeout, 0};
    }
  }

  void DiscardInput() override { ::PurgeComm(line_, PURGE_RXABORT | PURGE_RXCLEAR); }
  bool IsReliableStream() const override { return false; }

 private:
  HANDLE line_;
};

}  // namespace

std::unique_ptr<Transport> OpenSerialTransport(const std::string& path, std::int32_t baud) {
  // Opened for this process alone, as Windows does with every COM port; not inherited.
  HANDLE line = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (line == INVALID_HANDLE_VALUE) return nullptr;
  auto transport = std::make_unique<CommTransport>(line);
  if (baud <= 0 || !ConfigureLine(line, baud)) return nullptr;
  ::PurgeComm(line, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  return transport;
}

std::optional<std::string> PlatformSerialPath(const std::string& name) {
  if (name.starts_with(kDevicePrefix)) return name;
  // Ports from COM10 on can only be opened by their device path; COM1 to COM9 work either way.
  if (const auto number = ComPortNumber(name)) {
    return std::string(kDevicePrefix) + "COM" + std::to_string(*number);
  }
  return std::nullopt;
}

}  // namespace quillstone::capstan
