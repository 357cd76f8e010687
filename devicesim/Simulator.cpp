#include "devicesim/Simulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "capstan/capstan.h"
#include "capstan/src/Protocol.h"
#include "capstan/src/posix/FdIo.h"
#include "capstan/src/posix/SerialLine.h"
#include "devicesim/Device.h"

namespace quillstone::devsim {
namespace {

using posixio::Clock;
using posixio::FdKind;
using posixio::IoStatus;
using posixio::UniqueFd;

// A client that does not take a reply within this time is treated as gone.
constexpr std::chrono::seconds kReplyWriteLimit{1};
constexpr std::chrono::milliseconds kHangUpGrace{50};

[[noreturn]] void FailWithErrno(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::string RequestText(const std::vector<std::uint8_t>& payload) {
  std::string text(payload.begin(), payload.end());
  return text.substr(0, text.find('\0'));
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

std::string Timestamp(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000;
  char withMillis[48];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03dZ", text, static_cast<int>(millis));
  return withMillis;
}

std::string PeerText(const sockaddr_in& peer) {
  char address[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
  return std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));
}

}  // namespace

struct Simulator::Impl {
  explicit Impl(SimulatorConfig settings)
      : config(std::move(settings)),
        device(OptionStore{}, config.defaults, config.osValue),
        faults(config.faults),
        reader(wire::AcceptRule{.kind = wire::FrameKind::kRequest,
                                .device = config.deviceNumber,
                                .acceptAnyDevice = config.link == LinkKind::kTcp,
                                .sequence = std::nullopt}) {}

  void Start();
  void Stop();
  void OpenListener();
  void OpenPty();
  void OpenSerialDevice();
  void Run();
  void AcceptClient();
  void ServiceLink(Clock::time_point deadline);
  void Respond(const wire::Frame& request);
  void DropClient();
  void LineClosed();
  bool PauseUnlessStopped(std::chrono::milliseconds pause) const;
  void RestartIfPending();
  void LogLocked(const std::string& line);

  int LinkFd() const { return config.link == LinkKind::kTcp ? client.Get() : line.Get(); }
  FdKind LinkKindOfFd() const {
    return config.link == LinkKind::kTcp ? FdKind::kSocket : FdKind::kTerminal;
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
  std::ofstream log;

  // Owned by the serving thread once it runs.
  wire::FrameReader reader;
  UniqueFd listener;
  UniqueFd client;
  UniqueFd line;      // pty master or serial device
  UniqueFd ptySlave;  // held open so the master never sees a hang-up between clients
  UniqueFd wakeRead;
  UniqueFd wakeWrite;
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
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) FailWithErrno("pipe");
  wakeRead.Reset(wake[0]);
  wakeWrite.Reset(wake[1]);
  switch (config.link) {
    case LinkKind::kTcp:
      OpenListener();
      break;
    case LinkKind::kPty:
      OpenPty();
      break;
    case LinkKind::kSerialDevice:
      OpenSerialDevice();
      break;
  }
  {
    std::lock_guard lock(mutex);
    LogLocked("event=start device=" + std::to_string(config.deviceNumber) +
              " os=" + Quoted(config.osValue));
  }
  thread = std::thread(&Impl::Run, this);
}

void Simulator::Impl::OpenListener() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(config.port);
  if (::inet_pton(AF_INET, config.listenAddress.c_str(), &address.sin_addr) != 1) {
    throw std::runtime_error("not an IPv4 address: " + config.listenAddress);
  }
  listener.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!listener.Valid()) FailWithErrno("socket");
  const int reuse = 1;
  ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    FailWithErrno("cannot listen on " + config.listenAddress + ":" + std::to_string(config.port));
  }
  if (::listen(listener.Get(), 4) != 0) FailWithErrno("listen");
  socklen_t size = sizeof address;
  ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size);
  port = ntohs(address.sin_port);
}

void Simulator::Impl::OpenPty() {
  line.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!line.Valid() || ::grantpt(line.Get()) != 0 || ::unlockpt(line.Get()) != 0) {
    FailWithErrno("cannot create a pseudo-terminal");
  }
  char name[256] = {};
  if (::ptsname_r(line.Get(), name, sizeof name) != 0) FailWithErrno("ptsname");
  ptyPath = name;
  ptySlave.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!ptySlave.Valid()) FailWithErrno("cannot open " + ptyPath);
  // Echo and line editing would send the client's own frames back to it.
  if (!posixio::MakeTerminalRaw(ptySlave.Get()) || !posixio::SetNonBlocking(line.Get())) {
    FailWithErrno("cannot set up " + ptyPath);
  }
}

void Simulator::Impl::OpenSerialDevice() {
  line.Reset(::open(config.serialPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!line.Valid()) FailWithErrno("cannot open " + config.serialPath);
  if (!posixio::ConfigureRawSerial(line.Get(), config.baud)) {
    throw std::runtime_error("cannot set " + config.serialPath + " to " +
                             std::to_string(config.baud) + " baud");
  }
}

void Simulator::Impl::Stop() {
  if (thread.joinable()) {
    const char wake = 1;
    while (::write(wakeWrite.Get(), &wake, 1) < 0 && errno == EINTR) {
    }
    thread.join();
    std::lock_guard lock(mutex);
    if (client.Valid()) LogLocked("event=disconnect");
    LogLocked("event=stop");
  }
  client.Reset();
  listener.Reset();
  line.Reset();
  ptySlave.Reset();
}

void Simulator::Impl::Run() {
  for (;;) {
    std::array<pollfd, 3> watched{};
    std::size_t count = 0;
    watched[count++] = {wakeRead.Get(), POLLIN, 0};
    const std::size_t linkIndex = count;
    if (LinkFd() >= 0) watched[count++] = {LinkFd(), POLLIN, 0};
    const std::size_t listenerIndex = count;
    if (listener.Valid()) watched[count++] = {listener.Get(), POLLIN, 0};
    if (::poll(watched.data(), count, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[0].revents != 0) return;
    // The client first: a hang-up seen here frees the place for a waiting newcomer.
    if (linkIndex < listenerIndex && watched[linkIndex].revents != 0) ServiceLink(Clock::now());
    if (listenerIndex < count && watched[listenerIndex].revents != 0) AcceptClient();
  }
}

void Simulator::Impl::AcceptClient() {
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  UniqueFd newcomer(::accept4(listener.Get(), reinterpret_cast<sockaddr*>(&peer), &size,
                              SOCK_NONBLOCK | SOCK_CLOEXEC));
  if (!newcomer.Valid()) return;
  // A client that has just closed may not have shown its hang-up yet; give it a moment.
  if (client.Valid()) ServiceLink(Clock::now() + kHangUpGrace);
  std::lock_guard lock(mutex);
  if (client.Valid()) {
    // One client at a time, like the device: a second one is closed at once so that its
    // handshake fails fast instead of waiting for a reply that never comes.
    LogLocked("event=refused-second-client peer=" + PeerText(peer));
    return;
  }
  const int noDelay = 1;
  ::setsockopt(newcomer.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  client = std::move(newcomer);
  reader.Clear();
  ++connections;
  LogLocked("event=connect peer=" + PeerText(peer));
}

void Simulator::Impl::ServiceLink(Clock::time_point deadline) {
  std::array<std::uint8_t, 4096> chunk{};
  const posixio::ReadResult got = posixio::ReadSome(LinkFd(), LinkKindOfFd(), chunk, deadline);
  if (got.status == IoStatus::kClosed) {
    if (config.link == LinkKind::kTcp) {
      DropClient();
    } else {
      LineClosed();
    }
    return;
  }
  reader.Append(std::span<const std::uint8_t>(chunk.data(), got.count));
  while (LinkFd() >= 0) {
    const auto request = reader.Next();
    if (!request) break;
    Respond(*request);
  }
}

void Simulator::Impl::Respond(const wire::Frame& request) {
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
          CAPSTAN_REPLY_OK, "quillstone-devsim device=" + std::to_string(config.deviceNumber), {}};
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
      const CommandRecord record{std::chrono::system_clock::now(), request.code, text,
                                 silent ? std::uint16_t{0} : answer.reply};
      LogLocked("code=" + std::to_string(record.code) + " request=" + Quoted(record.request) +
                " reply=" + (silent ? std::string("none") : std::to_string(record.reply)) +
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
                                                         .device = config.deviceNumber,
                                                         .sequence = request.sequence,
                                                         .code = answer.reply,
                                                         .payload = std::move(payload)});
    if (corrupt) bytes.back() ^= 0xFF;  // the checksum's last byte
    const IoStatus sent =
        posixio::WriteAll(LinkFd(), LinkKindOfFd(), bytes, Clock::now() + kReplyWriteLimit);
    if (sent != IoStatus::kOk && config.link == LinkKind::kTcp) {
      DropClient();
      return;
    }
  }
  // Without a connection to lose, a serial device restarts as soon as it has answered.
  if (config.link != LinkKind::kTcp) RestartIfPending();
  if (closeAfterwards) DropClient();
}

bool Simulator::Impl::PauseUnlessStopped(std::chrono::milliseconds pause) const {
  if (pause <= std::chrono::milliseconds::zero()) return true;
  const short revents = posixio::WaitFor(wakeRead.Get(), POLLIN, Clock::now() + pause);
  return revents == 0;
}

void Simulator::Impl::DropClient() {
  client.Reset();
  reader.Clear();
  {
    std::lock_guard lock(mutex);
    LogLocked("event=disconnect");
  }
  RestartIfPending();
}

void Simulator::Impl::LineClosed() {
  line.Reset();
  std::lock_guard lock(mutex);
  LogLocked("event=line-closed");
}

void Simulator::Impl::RestartIfPending() {
  std::lock_guard lock(mutex);
  if (!device.TakePendingRestart()) return;
  ++restarts;
  LogLocked("event=restart");
  changed.notify_all();
}

void Simulator::Impl::LogLocked(const std::string& text) {
  if (!log.is_open()) return;
  log << Timestamp(std::chrono::system_clock::now()) << ' ' << text << '\n';
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

void Simulator::CorruptReplies(int count) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.corruptReplies = count;
}

}  // namespace quillstone::devsim
