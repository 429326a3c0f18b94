#include "base/win/scoped_handle_verifier.h"

#include <vector>

#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base::win {
namespace {

struct RecordedFault {
  ScopedHandleVerifier::Fault fault;
  HANDLE handle;
};
std::vector<RecordedFault> g_faults;

void RecordFault(ScopedHandleVerifier::Fault fault, HANDLE handle) {
  g_faults.push_back({fault, handle});
}

class ScopedHandleVerifierTest : public testing::Test {
 protected:
  void SetUp() override { g_faults.clear(); }
  ScopedHandleVerifier verifier_{&RecordFault};
  HANDLE handle_ = reinterpret_cast<HANDLE>(0x1234);
  int first_owner_ = 0;
  int second_owner_ = 0;
};

TEST_F(ScopedHandleVerifierTest, OneOwnerTakesAndReleasesWithoutFault) {
  verifier_.StartTracking(handle_, &first_owner_);
  EXPECT_EQ(1u, verifier_.TrackedCount());
  verifier_.StopTracking(handle_, &first_owner_);
  EXPECT_EQ(0u, verifier_.TrackedCount());
  // The value may be owned again once released.
  verifier_.StartTracking(handle_, &second_owner_);
  EXPECT_TRUE(g_faults.empty());
}

TEST_F(ScopedHandleVerifierTest, SecondOwnerOfAHeldHandleIsAFault) {
  verifier_.StartTracking(handle_, &first_owner_);
  verifier_.StartTracking(handle_, &second_owner_);
  ASSERT_EQ(1u, g_faults.size());
  EXPECT_EQ(ScopedHandleVerifier::Fault::kAlreadyOwned, g_faults[0].fault);
  EXPECT_EQ(handle_, g_faults[0].handle);
  // The first owner keeps it.
  verifier_.StopTracking(handle_, &first_owner_);
  EXPECT_EQ(1u, g_faults.size());
}

TEST_F(ScopedHandleVerifierTest, ReleaseByAnotherOwnerOrOfAnUnknownHandleIsAFault) {
  verifier_.StartTracking(handle_, &first_owner_);
  verifier_.StopTracking(handle_, &second_owner_);
  verifier_.StopTracking(reinterpret_cast<HANDLE>(0x5678), &first_owner_);
  ASSERT_EQ(2u, g_faults.size());
  EXPECT_EQ(ScopedHandleVerifier::Fault::kNotOwner, g_faults[0].fault);
  EXPECT_EQ(ScopedHandleVerifier::Fault::kNotOwner, g_faults[1].fault);
  EXPECT_EQ(1u, verifier_.TrackedCount());
}

TEST_F(ScopedHandleVerifierTest, FailedCloseIsADoubleClose) {
  verifier_.OnCloseFailed(handle_);
  ASSERT_EQ(1u, g_faults.size());
  EXPECT_EQ(ScopedHandleVerifier::Fault::kDoubleClose, g_faults[0].fault);
}

TEST(ScopedHandleVerifierSharedTest, ScopedHandlesAreTrackedByTheProcessVerifier) {
  ScopedHandleVerifier* verifier = ScopedHandleVerifier::Get();
  ASSERT_EQ(verifier, ScopedHandleVerifier::Get());
  size_t before = verifier->TrackedCount();
  {
    ScopedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(before + 1, verifier->TrackedCount());
    ScopedHandle moved(std::move(event));
    EXPECT_EQ(before + 1, verifier->TrackedCount());
    HANDLE taken = moved.Take();
    EXPECT_EQ(before, verifier->TrackedCount());
    // Owned again by a new owner after being handed out: no fault.
    ScopedHandle again(taken);
    EXPECT_EQ(before + 1, verifier->TrackedCount());
  }
  EXPECT_EQ(before, verifier->TrackedCount());
}

}  // namespace
}  // namespace base::win
