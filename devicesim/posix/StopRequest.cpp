#include "devicesim/StopRequest.h"

#include <pthread.h>
#include <signal.h>

namespace quillstone::devsim {
namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

void PrepareForStopRequest() {
  // Blocked in this thread and so in every thread started later: only sigwait receives them.
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForStopRequest() {
  const sigset_t signals = StopSignals();
  int received = 0;
  sigwait(&signals, &received);
}

}  // namespace quillstone::devsim
