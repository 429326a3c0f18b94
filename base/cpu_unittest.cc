#include "base/cpu.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(CPUTest, X64BaselineFeatures) {
  CPU cpu;
  // Every x86-64 processor has these.
  EXPECT_TRUE(cpu.has_mmx());
  EXPECT_TRUE(cpu.has_sse());
  EXPECT_TRUE(cpu.has_sse2());
  EXPECT_EQ(12u, cpu.vendor_name().size());
  EXPECT_GT(cpu.family(), 0);
  // Later features imply earlier ones.
  if (cpu.has_avx2()) {
    EXPECT_TRUE(cpu.has_avx());
  }
  if (cpu.has_sse42()) {
    EXPECT_TRUE(cpu.has_sse41());
  }
}

}  // namespace
}  // namespace base
