#pragma once

// How the quillstone-devsim program is asked to stop: Ctrl+C or a termination request
// (SIGINT and SIGTERM on POSIX; the console's control events on Windows).
namespace quillstone::devsim {

// Call before any thread starts, so that the request reaches WaitForStopRequest only.
void PrepareForStopRequest();

// Blocks until a stop is requested.
void WaitForStopRequest();

}  // namespace quillstone::devsim
