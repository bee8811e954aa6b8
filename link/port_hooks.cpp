#include "link/port_hooks.h"

#include <utility>

namespace deveder {

namespace {

struct Hooks {
  std::function<void()> pump;
  std::function<void(bool, const char*, int)> trace;
  std::function<bool()> stop;
};

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

}  // namespace

void SetPortPumpHook(std::function<void()> pump) { TheHooks().pump = std::move(pump); }
bool HasPortPump() { return static_cast<bool>(TheHooks().pump); }
void CallPortPump() {
  if (TheHooks().pump) TheHooks().pump();
}

void SetPortTraceHook(std::function<void(bool, const char*, int)> trace) { TheHooks().trace = std::move(trace); }
void TracePort(bool sent, const char* bytes, int count) {
  if (TheHooks().trace && count > 0) TheHooks().trace(sent, bytes, count);
}

void SetPortStopHook(std::function<bool()> stop) { TheHooks().stop = std::move(stop); }
bool HasPortStopHook() { return static_cast<bool>(TheHooks().stop); }
bool PortStopRequested() { return TheHooks().stop && TheHooks().stop(); }

}  // namespace deveder
