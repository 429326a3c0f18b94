#include "desktop/windows/installer/service/kernel_object_security.h"

#include <windows.h>

#include <sddl.h>

#include <string>

#include "base/test/test_environment.h"
#include "base/win/scoped_localalloc.h"
#include "desktop/windows/installer/service/test/kernel_object_test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

bool IsSet(HANDLE event) {
  return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// An event of |name| owned by |owner| (SDDL: "BA", "SY", a SID).
base::win::ScopedHandle CreateOwnedEvent(const std::wstring& name, const std::wstring& owner) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          (L"O:" + owner + L"D:(A;;GA;;;WD)").c_str(), SDDL_REVISION_1, &raw, nullptr)) {
    return base::win::ScopedHandle();
  }
  base::win::ScopedLocalAlloc descriptor = base::win::TakeLocalAlloc(raw);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  return base::win::ScopedHandle(::CreateEventW(&attributes, TRUE, TRUE, name.c_str()));
}

TEST(KernelObjectSecurityTest, NewEventLetsInOnlyTheUserAdministratorsAndSystem) {
  const std::wstring name = L"Local\\" + base::test::UniqueName(L"event");
  base::win::ScopedHandle event = KernelObjectSecurity::CreateNamedEvent(name, true);
  ASSERT_TRUE(event.IsValid());
  EXPECT_FALSE(IsSet(event.Get()));
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(event.Get(), EVENT_ALL_ACCESS));
  EXPECT_TRUE(KernelObjectSecurity::IsOwnedByTrustedAccount(event.Get()));
}

TEST(KernelObjectSecurityTest, AttributesCarryTheAccessListAndInheritance) {
  KernelObjectSecurity security;
  ASSERT_TRUE(security.IsValid());
  EXPECT_TRUE(security.GetAttributes(true)->bInheritHandle);
  EXPECT_FALSE(security.GetAttributes(false)->bInheritHandle);
  const std::wstring name = L"Local\\" + base::test::UniqueName(L"mutex");
  base::win::ScopedHandle mutex(::CreateMutexW(security.GetAttributes(false), FALSE, name.c_str()));
  ASSERT_TRUE(mutex.IsValid());
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(mutex.Get(), MUTEX_ALL_ACCESS));
}

// A process of an earlier run of this user still holds the event, set.
TEST(KernelObjectSecurityTest, EventOfThisUserIsResetAndUsed) {
  const std::wstring name = L"Local\\" + base::test::UniqueName(L"event");
  base::win::ScopedHandle earlier = KernelObjectSecurity::CreateNamedEvent(name, true);
  ASSERT_TRUE(earlier.IsValid());
  ::SetEvent(earlier.Get());
  base::win::ScopedHandle event = KernelObjectSecurity::CreateNamedEvent(name, true);
  ASSERT_TRUE(event.IsValid());
  EXPECT_FALSE(IsSet(earlier.Get()));
}

// Another process of this user made the event first, open to everyone: the
// run that takes it over gives it its own access list.
TEST(KernelObjectSecurityTest, EventMadeFirstWithoutAnAccessListGetsTheRunsList) {
  const std::wstring name = L"Local\\" + base::test::UniqueName(L"event");
  test::NoAccessListSecurity open_to_everyone;
  base::win::ScopedHandle first(::CreateEventW(open_to_everyone.get(), TRUE, TRUE, name.c_str()));
  ASSERT_TRUE(first.IsValid());
  ASSERT_EQ(std::vector<std::wstring>{L"none"}, test::AccessListOf(first.Get(), EVENT_ALL_ACCESS));
  base::win::ScopedHandle event = KernelObjectSecurity::CreateNamedEvent(name, true);
  ASSERT_TRUE(event.IsValid());
  EXPECT_FALSE(IsSet(event.Get()));
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(event.Get(), EVENT_ALL_ACCESS));
  // The list is the object's, whichever handle reads it.
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(first.Get(), EVENT_ALL_ACCESS));
}

TEST(KernelObjectSecurityTest, EventOfAnotherAccountIsRefusedAndLeftAlone) {
  const std::wstring name = L"Local\\" + base::test::UniqueName(L"event");
  base::win::ScopedHandle foreign = test::CreateForeignEvent(name, true);
  ASSERT_TRUE(foreign.IsValid());
  EXPECT_FALSE(KernelObjectSecurity::IsOwnedByTrustedAccount(foreign.Get()));
  EXPECT_FALSE(KernelObjectSecurity::CreateNamedEvent(name, true).IsValid());
  EXPECT_TRUE(IsSet(foreign.Get()));
}

TEST(KernelObjectSecurityTest, AdministratorsAndSystemAreTrustedOwners) {
  for (const wchar_t* owner : {L"BA", L"SY"}) {
    const std::wstring name = L"Local\\" + base::test::UniqueName(L"event");
    base::win::ScopedHandle event = CreateOwnedEvent(name, owner);
    ASSERT_TRUE(event.IsValid()) << owner;
    EXPECT_TRUE(KernelObjectSecurity::IsOwnedByTrustedAccount(event.Get())) << owner;
    EXPECT_TRUE(KernelObjectSecurity::CreateNamedEvent(name, true).IsValid()) << owner;
  }
  const std::wstring name = L"Local\\" + base::test::UniqueName(L"event");
  base::win::ScopedHandle own = CreateOwnedEvent(name, test::ProcessUserSidText());
  ASSERT_TRUE(own.IsValid());
  EXPECT_TRUE(KernelObjectSecurity::IsOwnedByTrustedAccount(own.Get()));
}

}  // namespace
}  // namespace installer
