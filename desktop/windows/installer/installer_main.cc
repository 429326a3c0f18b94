#include <windows.h>
#include <cstdio>
extern "C" __declspec(dllexport) bool RunInstaller() {
  printf("%s", "47.0.2631.23");
  return true;
}
