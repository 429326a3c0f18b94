#include "desktop/windows/installer/steps/run_on_commit_operation.h"

#include <memory>

#include "base/functional/bind.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(RunOnCommitOperationTest, RunsOnlyWhenTheTransactionKeepsItsChanges) {
  int runs = 0;
  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Do(std::make_unique<RunOnCommitOperation>(
        base::BindOnce([](int* count) { ++*count; }, &runs))));
    EXPECT_EQ(0, runs);
  }
  EXPECT_EQ(1, runs);

  Transaction rolled_back;
  ASSERT_TRUE(rolled_back.Do(std::make_unique<RunOnCommitOperation>(
      base::BindOnce([](int* count) { ++*count; }, &runs))));
  rolled_back.Rollback();
  EXPECT_EQ(1, runs);
}

}  // namespace
}  // namespace installer
