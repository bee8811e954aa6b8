// The port layer's process-wide hooks: the pump that keeps a window alive
// during waits, the trace that sees every byte, and the stop request that
// ends every wait early (Ctrl-C, SIGTERM in deveder-cli). No hook, no cost.
#pragma once

#include <chrono>
#include <functional>

namespace deveder {

// Called between polls of every reply wait (GUI: keep painting and timers).
void SetPortPumpHook(std::function<void()> pump);
bool HasPortPump();
void CallPortPump();

// Sees every byte that crosses a port: `sent` true for bytes written.
void SetPortTraceHook(std::function<void(bool sent, const char* bytes, int count)> trace);
void TracePort(bool sent, const char* bytes, int count);

// Asked between polls of every wait, writes included: true ends the wait
// with PortFault::Stopped, and every later wait at once.
void SetPortStopHook(std::function<bool()> stop);
bool PortStopRequested();
bool HasPortStopHook();

// The longest poll between two calls of the pump, and between two questions
// to the stop hook: a stop is noticed within a few of these.
inline constexpr std::chrono::milliseconds kPumpSlice{2};
inline constexpr std::chrono::milliseconds kStopSlice{20};

}  // namespace deveder
