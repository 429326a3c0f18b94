#include "crash_reporting/reporter_activity.h"

namespace crash_reporting {

namespace {

volatile LONG g_count = 0;
HANDLE g_idle_event = nullptr;

}  // namespace

bool InitReporterActivity() {
  if (!g_idle_event)
    g_idle_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return g_idle_event != nullptr;
}

void AddReporterActivity() {
  if (InterlockedIncrement(&g_count) == 1 && g_idle_event)
    ResetEvent(g_idle_event);
}

void ReleaseReporterActivity() {
  if (InterlockedDecrement(&g_count) == 0 && g_idle_event)
    SetEvent(g_idle_event);
}

void WaitForReporterIdle() {
  if (!g_idle_event)
    return;
  // The event may be left set by a release that raced with a new count: wait
  // again until the count itself is 0. A release after the reset sets it anew.
  while (InterlockedCompareExchange(&g_count, 0, 0) != 0) {
    WaitForSingleObject(g_idle_event, INFINITE);
    ResetEvent(g_idle_event);
  }
}

}  // namespace crash_reporting
