#include "crash_reporting/crash_points.h"

namespace crash_reporting {

namespace {

CrashPointHandler g_handler = nullptr;

}  // namespace

void SetCrashPointHandler(CrashPointHandler handler) {
  g_handler = handler;
}

void CrashPoint(const char* point) {
  if (g_handler)
    g_handler(point);
}

}  // namespace crash_reporting
