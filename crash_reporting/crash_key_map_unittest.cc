#include "crash_reporting/crash_key_map.h"

#include <cwchar>

#include "gtest/gtest.h"

namespace crash_reporting {
namespace {

crash::CustomInfoEntry Entry(const wchar_t* name, const wchar_t* value) {
  crash::CustomInfoEntry entry = {};
  wcsncpy(entry.name, name, crash::CustomInfoEntry::kNameMaxLength - 1);
  wcsncpy(entry.value, value, crash::CustomInfoEntry::kValueMaxLength - 1);
  return entry;
}

TEST(CrashKeyMapTest, ChunksAreJoinedInNumberOrder) {
  CrashKeyMap map = BuildCrashKeyMap(
      {Entry(L"URL-2", L"b"), Entry(L"URL-1", L"a"), Entry(L"URL-3", L"c"), Entry(L"ver", L"1")});
  EXPECT_EQ((CrashKeyMap{{L"URL", L"abc"}, {L"ver", L"1"}}), map);
}

TEST(CrashKeyMapTest, NumbersOrderNumericallyNotAsText) {
  CrashKeyMap map = BuildCrashKeyMap({Entry(L"k-10", L"j"), Entry(L"k-9", L"i")});
  EXPECT_EQ(L"ij", map[L"k"]);
}

TEST(CrashKeyMapTest, PlainEntryWinsOverChunksWhicheverComesFirst) {
  EXPECT_EQ(L"plain", BuildCrashKeyMap({Entry(L"URL", L"plain"), Entry(L"URL-1", L"a")})[L"URL"]);
  EXPECT_EQ(L"plain", BuildCrashKeyMap({Entry(L"URL-1", L"a"), Entry(L"URL", L"plain")})[L"URL"]);
}

TEST(CrashKeyMapTest, InvalidNamesAndUnterminatedValuesAreDropped) {
  crash::CustomInfoEntry unterminated = Entry(L"long", L"");
  wmemset(unterminated.value, L'x', crash::CustomInfoEntry::kValueMaxLength);
  CrashKeyMap map = BuildCrashKeyMap({Entry(L"unspecified-crash-key", L"1"), Entry(L"a/b", L"2"),
                                      Entry(L"", L"3"), Entry(L"caf\u00e9", L"4"),
                                      Entry(L"sp ace", L"5"), unterminated,
                                      Entry(L"ok.name_1-x", L"6")});
  EXPECT_EQ((CrashKeyMap{{L"ok.name_1-x", L"6"}}), map);
}

TEST(CrashKeyMapTest, ChunkNumberThatOverflowsIsAPlainName) {
  CrashKeyMap map = BuildCrashKeyMap({Entry(L"k-99999999999", L"v")});
  EXPECT_EQ((CrashKeyMap{{L"k-99999999999", L"v"}}), map);
}

TEST(CrashKeyMapTest, FirstOfTwoPlainEntriesWins) {
  EXPECT_EQ(L"first", BuildCrashKeyMap({Entry(L"a", L"first"), Entry(L"a", L"second")})[L"a"]);
}

}  // namespace
}  // namespace crash_reporting
