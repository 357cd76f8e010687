// The wireless apply end to end with the real 100 ms pause after each option: " Set" pressed
// on an offscreen main window, the real library, the in-process simulator on loopback. The
// pauses are the floor (16 x 100 ms for the 16-entry list); what matters is the overhead.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>

#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "tests/support/DeviceWindowHarness.h"

namespace {

using namespace quillstone;
using namespace quillstone::testing;

constexpr double kPauseMs = 100.0;

// The system's pause, timed, so that the overhead splits into oversleeping and the rest.
class TimedSleeper : public Sleeper {
 public:
  void SleepMs(int milliseconds) override {
    const auto start = std::chrono::steady_clock::now();
    SystemSleeper().SleepMs(milliseconds);
    sleptMs +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  double sleptMs = 0;
};

void BM_WirelessApplySixteenOptions(benchmark::State& state) {
  // A fresh device per run whose every option differs, so that all sixteen are written.
  devsim::SimulatorConfig config;
  config.keepRecords = false;
  config.defaults = StaleValuesFor(kOpenNetworkOptions);
  SimulatedDevice device(config);
  TimedSleeper sleeper;
  FakeLinkPlatform platform(&sleeper);
  TempDirectory programDir;
  programDir.Write("IPconfig.ini", "[Config]\r\nIPRadio=0\r\n");
  FakeMessageBoxes boxes;  // confirms the question
  TFernwick window({programDir.Path(), &boxes, programDir.Path()});
  window.show();
  window.WirelessNetEdt->setText(QStringLiteral("Office"));
  window.AddressIP->setText(QStringLiteral("127.0.0.1"));
  window.PortEdtWire->setText(QString::number(device->Port()));

  double totalMs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    window.SetBitB->click();
    totalMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  if (boxes.shown.empty() || boxes.shown.back().text != "Set successfully! Device Will restart" ||
      device->Option("SSID") != "Office") {
    state.SkipWithError("the apply did not reach the device");
    return;
  }
  const double floorMs = kPauseMs * static_cast<double>(kOpenNetworkOptions.size());
  state.counters["total_ms"] = totalMs;
  state.counters["overhead_ms"] = totalMs - floorMs;
  state.counters["oversleep_ms"] = sleeper.sleptMs - floorMs;
}
BENCHMARK(BM_WirelessApplySixteenOptions)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
