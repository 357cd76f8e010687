#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "devicesim/StopRequest.h"

namespace quillstone::devsim {
namespace {

HANDLE stopRequested = nullptr;

// Runs on a thread of its own; returning TRUE keeps the default handler from ending the
// process before the simulator has stopped. (A closing console ends the process soon after
// anyway; the option store is saved after every change, so nothing is lost.)
BOOL WINAPI OnConsoleControl(DWORD /*event*/) {
  ::SetEvent(stopRequested);
  return TRUE;
}

}  // namespace

void PrepareForStopRequest() {
  stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void WaitForStopRequest() {
  ::WaitForSingleObject(stopRequested, INFINITE);
}

}  // namespace quillstone::devsim
