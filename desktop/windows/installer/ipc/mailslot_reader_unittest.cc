#include "desktop/windows/installer/ipc/mailslot_reader.h"

#include <memory>
#include <string>

#include "base/test/test_environment.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/service/test/kernel_object_test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Only the user, the Administrators (the elevated copy may run as another
// one) and the system may write what the front end takes for the back end's
// reports.
TEST(MailslotReaderTest, MailslotLetsInOnlyTheUserAdministratorsAndSystem) {
  std::unique_ptr<MailslotReader> reader = MailslotReader::Create(
      kMailslotPathPrefix + base::test::UniqueName(L"mailslot"), MailslotReader::MessageCallback());
  ASSERT_TRUE(reader);
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(reader->handle(), FILE_ALL_ACCESS));
}

}  // namespace
}  // namespace installer
