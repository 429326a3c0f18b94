#include "base/cpu.h"

#include <windows.h>
#include <cpuid.h>

#include <cstring>

namespace base {

namespace {

void Cpuid(unsigned leaf, unsigned subleaf, unsigned registers[4]) {
  __cpuid_count(leaf, subleaf, registers[0], registers[1], registers[2], registers[3]);
}

// Whether the OS saves the YMM registers on a context switch (XCR0 bits 1-2).
bool OsSavesAvxState() {
  unsigned eax = 0;
  unsigned edx = 0;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (eax & 6) == 6;
}

}  // namespace

CPU::CPU() {
  Initialize();
}

void CPU::Initialize() {
  unsigned registers[4] = {};
  Cpuid(0, 0, registers);
  unsigned max_leaf = registers[0];
  char vendor[13] = {};
  memcpy(vendor, &registers[1], 4);      // EBX
  memcpy(vendor + 4, &registers[3], 4);  // EDX
  memcpy(vendor + 8, &registers[2], 4);  // ECX
  cpu_vendor_ = vendor;

  if (max_leaf >= 1) {
    Cpuid(1, 0, registers);
    unsigned signature = registers[0];
    unsigned ecx = registers[2];
    unsigned edx = registers[3];
    stepping_ = static_cast<int>(signature & 0xF);
    int base_model = static_cast<int>((signature >> 4) & 0xF);
    int base_family = static_cast<int>((signature >> 8) & 0xF);
    int ext_model = static_cast<int>((signature >> 16) & 0xF);
    int ext_family = static_cast<int>((signature >> 20) & 0xFF);
    family_ = base_family == 0xF ? base_family + ext_family : base_family;
    model_ = (base_family == 0x6 || base_family == 0xF) ? base_model + (ext_model << 4)
                                                        : base_model;
    has_mmx_ = (edx & (1u << 23)) != 0;
    has_sse_ = (edx & (1u << 25)) != 0;
    has_sse2_ = (edx & (1u << 26)) != 0;
    has_sse3_ = (ecx & (1u << 0)) != 0;
    has_ssse3_ = (ecx & (1u << 9)) != 0;
    has_sse41_ = (ecx & (1u << 19)) != 0;
    has_sse42_ = (ecx & (1u << 20)) != 0;
    has_popcnt_ = (ecx & (1u << 23)) != 0;
    has_aesni_ = (ecx & (1u << 25)) != 0;
    bool osxsave = (ecx & (1u << 27)) != 0;
    has_avx_ = (ecx & (1u << 28)) != 0 && osxsave && OsSavesAvxState();
  }
  if (max_leaf >= 7) {
    Cpuid(7, 0, registers);
    has_avx2_ = has_avx_ && (registers[1] & (1u << 5)) != 0;
  }
  // The system's own view takes precedence where it offers one.
  if (::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE))
    has_sse2_ = true;

  Cpuid(0x80000000, 0, registers);
  if (registers[0] >= 0x80000004) {
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
      Cpuid(0x80000002 + leaf, 0, registers);
      memcpy(brand + leaf * 16, registers, 16);
    }
    std::string text(brand);
    size_t first = text.find_first_not_of(' ');
    size_t last = text.find_last_not_of(' ');
    cpu_brand_ = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  }
}

}  // namespace base
