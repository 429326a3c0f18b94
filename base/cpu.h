// Features of the processor this process runs on, read once at construction
// with CPUID (and IsProcessorFeaturePresent where the system reports better,
// e.g. whether the OS saves AVX state).

#ifndef BASE_CPU_H_
#define BASE_CPU_H_

#include <string>

namespace base {

class CPU {
 public:
  CPU();

  const std::string& vendor_name() const { return cpu_vendor_; }
  // The brand string ("Intel(R) Core(TM) ..."), trimmed; may be empty.
  const std::string& cpu_brand() const { return cpu_brand_; }
  int family() const { return family_; }
  int model() const { return model_; }
  int stepping() const { return stepping_; }
  bool has_mmx() const { return has_mmx_; }
  bool has_sse() const { return has_sse_; }
  bool has_sse2() const { return has_sse2_; }
  bool has_sse3() const { return has_sse3_; }
  bool has_ssse3() const { return has_ssse3_; }
  bool has_sse41() const { return has_sse41_; }
  bool has_sse42() const { return has_sse42_; }
  bool has_popcnt() const { return has_popcnt_; }
  // AVX and AVX2 count only when the OS also saves the AVX registers.
  bool has_avx() const { return has_avx_; }
  bool has_avx2() const { return has_avx2_; }
  bool has_aesni() const { return has_aesni_; }

 private:
  void Initialize();

  std::string cpu_vendor_;
  std::string cpu_brand_;
  int family_ = 0;
  int model_ = 0;
  int stepping_ = 0;
  bool has_mmx_ = false;
  bool has_sse_ = false;
  bool has_sse2_ = false;
  bool has_sse3_ = false;
  bool has_ssse3_ = false;
  bool has_sse41_ = false;
  bool has_sse42_ = false;
  bool has_popcnt_ = false;
  bool has_avx_ = false;
  bool has_avx2_ = false;
  bool has_aesni_ = false;
};

}  // namespace base

#endif  // BASE_CPU_H_
