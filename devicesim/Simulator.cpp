#include "devicesim/Simulator.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "capstan/capstan.h"
#include "capstan/src/Protocol.h"
#include "devicesim/Device.h"
#include "devicesim/Link.h"
#include "devicesim/RequestFrames.h"

namespace quillstone::devsim {
namespace {

// A client that does not take a reply within this time is treated as gone.
constexpr std::chrono::seconds kReplyWriteLimit{1};
constexpr std::chrono::milliseconds kHangUpGrace{50};

[[noreturn]] void FailWithErrno(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Quoted, with control bytes, quotes and non-ASCII bytes as escapes: one log line per command.
std::string Quoted(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0x0F];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// UTC with milliseconds, from the calendar arithmetic of <chrono> alone.
std::string Timestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto millis = floor<milliseconds>(time);
  const auto day = floor<days>(millis);
  const year_month_day date(day);
  const hh_mm_ss clock(millis - day);
  char text[48];
  std::snprintf(
      text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
      static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
      static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

}  // namespace

struct Simulator::Impl {
  explicit Impl(SimulatorConfig settings)
      : config(std::move(settings)),
        device(OptionStore{}, config.defaults, config.osValue),
        faults(config.faults),
        reader(SharedLine() ? wire::AcceptRule{.kind = wire::FrameKind::kRequest,
                                               .device = std::nullopt,
                                               .acceptAnyDevice = false,
                                               .sequence = std::nullopt}
                            : RequestRule(config.deviceNumber, config.link == LinkKind::kTcp)) {}

  // A serial line with more than one device number on it: the reader takes every number and
  // Respond keeps those of its devices.
  bool SharedLine() const {
    return config.link != LinkKind::kTcp && !config.moreDeviceNumbers.empty();
  }
  bool AnswersFor(std::uint16_t number) const {
    return number == config.deviceNumber ||
           std::find(config.moreDeviceNumbers.begin(), config.moreDeviceNumbers.end(), number) !=
               config.moreDeviceNumbers.end();
  }

  void Start();
  void Stop();
  void OpenLink();
  void Run();
  void AcceptClient();
  void ServiceLink(Clock::time_point deadline);
  void Respond(const wire::Frame& request);
  enum class EndedBy { kClient, kDevice };
  void DropClient(EndedBy by);
  void LineClosed();
  bool PauseUnlessStopped(std::chrono::milliseconds pause);
  void RestartIfPending();
  void LogLocked(const std::string& line);

  // The client on TCP, the line otherwise; null while there is none.
  Channel* LinkChannel() {
    std::optional<Channel>& active = config.link == LinkKind::kTcp ? client : line;
    return active ? &*active : nullptr;
  }

  const SimulatorConfig config;

  // Everything below `mutex` is shared between the serving thread and the accessors.
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  Device device;
  FaultSettings faults;
  std::vector<CommandRecord> records;
  std::size_t commandCount = 0;
  std::size_t restarts = 0;
  std::size_t connections = 0;
  std::size_t leftConfiguring = 0;
  std::ofstream log;

  // Owned by the serving thread once it runs.
  wire::FrameReader reader;
  std::optional<TcpListener> listener;
  std::optional<Channel> client;
  std::optional<Channel> line;  // pseudo-terminal or serial device
  std::optional<ServiceWait> serviceWait;
  std::uint16_t port = 0;
  std::string ptyPath;
  std::thread thread;
};

void Simulator::Impl::Start() {
  if (thread.joinable()) throw std::logic_error("simulator already running");
  OptionStore store(config.stateFile);
  store.Load();
  {
    std::lock_guard lock(mutex);
    device = Device(std::move(store), config.defaults, config.osValue);
    for (const auto& [name, times] : faults.refusals) device.RefuseOption(name, times);
    if (!config.logFile.empty()) {
      log.open(config.logFile, std::ios::app);
      if (!log) FailWithErrno("cannot open log " + config.logFile.string());
    }
  }
  serviceWait.emplace();
  OpenLink();
  {
    std::lock_guard lock(mutex);
    LogLocked("event=start device=" + std::to_string(config.deviceNumber) + " os=" +
              Quoted(config.osValue) + (config.faultNote.empty() ? "" : " " + config.faultNote));
  }
  thread = std::thread(&Impl::Run, this);
}

void Simulator::Impl::OpenLink() {
  switch (config.link) {
    case LinkKind::kTcp:
      listener = ListenTcp(config.listenAddress, config.port);
      port = listener->Port();
      break;
    case LinkKind::kPty: {
      PseudoTerminal pty = OpenPseudoTerminal();
      ptyPath = pty.path;
      line = std::move(pty.channel);
      break;
    }
    case LinkKind::kSerialDevice:
      line = OpenSerialLine(config.serialPath, config.baud);
      break;
  }
}

void Simulator::Impl::Stop() {
  if (thread.joinable()) {
    serviceWait->RequestStop();
    thread.join();
    std::lock_guard lock(mutex);
    if (client) {
      LogLocked(std::string("event=disconnect by=stop") +
                (device.EndSession() ? " configuring=yes" : ""));
    }
    LogLocked("event=stop");
  }
  client.reset();
  listener.reset();
  line.reset();
  serviceWait.reset();
}

void Simulator::Impl::Run() {
  for (;;) {
    const Activity activity = serviceWait->Wait(LinkChannel(), listener ? &*listener : nullptr);
    if (activity.stopRequested) return;
    // The client first: a hang-up seen here frees the place for a waiting newcomer.
    if (activity.channelReady) ServiceLink(Clock::now());
    if (activity.clientWaiting) AcceptClient();
  }
}

void Simulator::Impl::AcceptClient() {
  std::optional<AcceptedClient> newcomer = listener->Accept();
  if (!newcomer) return;
  // A client that has just closed may not have shown its hang-up yet; give it a moment.
  if (client) ServiceLink(Clock::now() + kHangUpGrace);
  std::lock_guard lock(mutex);
  if (client) {
    // One client at a time, like the device: a second one is closed at once so that its
    // handshake fails fast instead of waiting for a reply that never comes.
    LogLocked("event=refused-second-client peer=" + newcomer->peer);
    return;
  }
  client = std::move(newcomer->channel);
  reader.Clear();
  ++connections;
  LogLocked("event=connect peer=" + newcomer->peer);
}

void Simulator::Impl::ServiceLink(Clock::time_point deadline) {
  std::array<std::uint8_t, 4096> chunk{};
  const IoResult got = LinkChannel()->ReadSome(chunk, deadline);
  if (got.status == IoStatus::kClosed) {
    if (config.link == LinkKind::kTcp) {
      DropClient(EndedBy::kClient);
    } else {
      LineClosed();
    }
    return;
  }
  reader.Append(std::span<const std::uint8_t>(chunk.data(), got.count));
  while (LinkChannel() != nullptr) {
    const auto request = reader.Next();
    if (!request) break;
    Respond(*request);
  }
}

void Simulator::Impl::Respond(const wire::Frame& request) {
  if (SharedLine() && !AnswersFor(request.device)) return;
  const std::uint16_t answeringNumber = SharedLine() ? request.device : config.deviceNumber;
  Answer answer;
  bool silent = false;
  bool corrupt = false;
  bool closeAfterwards = false;
  std::chrono::milliseconds delay{0};
  {
    std::lock_guard lock(mutex);
    silent = faults.silent;
    delay = faults.replyDelay;
    if (request.code == wire::kHelloCode) {
      answer = {
          CAPSTAN_REPLY_OK, "quillstone-devsim device=" + std::to_string(answeringNumber), {}};
    } else {
      const std::string text = RequestText(request.payload);
      answer = device.Handle(request.code, text);
      if (!silent && faults.corruptReplies > 0) {
        --faults.corruptReplies;
        corrupt = true;
      }
      if (faults.closeAfterCommands && --*faults.closeAfterCommands <= 0) {
        faults.closeAfterCommands.reset();
        closeAfterwards = config.link == LinkKind::kTcp;
      }
      const CommandRecord record{std::chrono::system_clock::now(), request.code, answeringNumber,
                                 text, silent ? std::uint16_t{0} : answer.reply};
      LogLocked("code=" + std::to_string(record.code) + " request=" + Quoted(record.request) +
                " reply=" + (silent ? std::string("none") : std::to_string(record.reply)) +
                (corrupt ? " corrupted=yes" : "") +
                (answer.problem.empty() ? "" : " problem=" + Quoted(answer.problem)));
      if (config.keepRecords) records.push_back(record);
      ++commandCount;
      changed.notify_all();
    }
  }
  if (!silent) {
    if (!PauseUnlessStopped(delay)) return;
    std::vector<std::uint8_t> payload(answer.payload.begin(), answer.payload.end());
    std::vector<std::uint8_t> bytes = wire::EncodeFrame({.kind = wire::FrameKind::kReply,
                                                         .device = answeringNumber,
                                                         .sequence = request.sequence,
                                                         .code = answer.reply,
                                                         .payload = std::move(payload)});
    if (corrupt) bytes.back() ^= 0xFF;  // the checksum's last byte
    const IoStatus sent = LinkChannel()->WriteAll(bytes, Clock::now() + kReplyWriteLimit);
    if (sent != IoStatus::kOk && config.link == LinkKind::kTcp) {
      DropClient(EndedBy::kClient);  // it has gone, or stopped reading
      return;
    }
  }
  // Without a connection to lose, a serial device restarts as soon as it has answered.
  if (config.link != LinkKind::kTcp) RestartIfPending();
  if (closeAfterwards) DropClient(EndedBy::kDevice);
}

bool Simulator::Impl::PauseUnlessStopped(std::chrono::milliseconds pause) {
  if (pause <= std::chrono::milliseconds::zero()) return true;
  return !serviceWait->WaitForStop(Clock::now() + pause);
}

void Simulator::Impl::DropClient(EndedBy by) {
  client.reset();
  reader.Clear();
  {
    std::lock_guard lock(mutex);
    const bool wasConfiguring = device.EndSession();
    if (wasConfiguring && by == EndedBy::kClient) ++leftConfiguring;
    LogLocked(std::string("event=disconnect by=") + (by == EndedBy::kClient ? "client" : "device") +
              (wasConfiguring ? " configuring=yes" : ""));
  }
  RestartIfPending();
}

void Simulator::Impl::LineClosed() {
  line.reset();
  std::lock_guard lock(mutex);
  LogLocked("event=line-closed");
}

void Simulator::Impl::RestartIfPending() {
  std::lock_guard lock(mutex);
  if (!device.TakePendingRestart()) return;
  ++restarts;
  for (const std::string& name : faults.dropAtRestart) {
    try {
      device.RemoveOption(name);
    } catch (const std::runtime_error& error) {
      LogLocked(std::string("problem=") + Quoted(error.what()));
    }
  }
  LogLocked("event=restart");
  changed.notify_all();
}

void Simulator::Impl::LogLocked(const std::string& text) {
  if (!log.is_open()) return;
  log << Timestamp(std::chrono::system_clock::now()) << ' ';
  if (config.logNamesPort) log << "port=" << port << ' ';
  log << text << '\n';
  log.flush();
}

Simulator::Simulator(SimulatorConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Simulator::~Simulator() {
  Stop();
}

void Simulator::Start() {
  try {
    impl_->Start();
  } catch (...) {
    impl_->Stop();
    throw;
  }
}

void Simulator::Stop() {
  impl_->Stop();
}

std::uint16_t Simulator::Port() const {
  return impl_->port;
}

std::string Simulator::PtyPath() const {
  return impl_->ptyPath;
}

std::string Simulator::Describe() const {
  const SimulatorConfig& config = impl_->config;
  const std::string device = ", device " + std::to_string(config.deviceNumber);
  switch (config.link) {
    case LinkKind::kTcp:
      return "listening on " + config.listenAddress + ":" + std::to_string(impl_->port) + device;
    case LinkKind::kPty:
      return "pseudo-terminal " + impl_->ptyPath + device;
    case LinkKind::kSerialDevice:
      return "serial line " + config.serialPath + " at " + std::to_string(config.baud) + " baud" +
             device;
  }
  return {};
}

OptionMap Simulator::Options() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->device.Store().All();
}

std::optional<std::string> Simulator::Option(const std::string& name) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->device.Store().Get(name);
}

void Simulator::SetOption(const std::string& name, const std::string& value) {
  std::lock_guard lock(impl_->mutex);
  impl_->device.SetOption(name, value);
}

std::vector<CommandRecord> Simulator::Records() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->records;
}

std::size_t Simulator::CommandCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->commandCount;
}

bool Simulator::WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, timeout, [&] { return impl_->commandCount >= count; });
}

std::size_t Simulator::Restarts() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->restarts;
}

bool Simulator::WaitForRestarts(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, timeout, [&] { return impl_->restarts >= count; });
}

std::size_t Simulator::Connections() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->connections;
}

bool Simulator::Configuring() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->device.Configuring();
}

std::size_t Simulator::LeftConfiguring() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->leftConfiguring;
}

void Simulator::RefuseOption(const std::string& name, int times) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.refusals[name] = times;
  impl_->device.RefuseOption(name, times);
}

void Simulator::SetReplyDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.replyDelay = delay;
}

void Simulator::SetSilent(bool silent) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.silent = silent;
}

void Simulator::CloseAfterCommands(int count) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.closeAfterCommands = count;
}

void Simulator::DropAtRestart(const std::string& name) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.dropAtRestart.push_back(name);
}

void Simulator::CorruptReplies(int count) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.corruptReplies = count;
}

}  // namespace quillstone::devsim
