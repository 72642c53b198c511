#include "registry/clsReg.h"

#include <gtest/gtest.h>

#include "platform/sim/registry.h"
#include "platform/text.h"
#include "test_util.h"

namespace pd {
namespace {

using platform::RegRoot;

constexpr StringView kRun = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr StringView kKey = u"HKEY_CURRENT_USER\\Software\\Drovak\\Test";

class RegistryTest : public testing::Test {
 protected:
  // The raw value as the registry holds it.
  bool Raw(std::string_view subKey, std::string_view name, std::uint32_t& type, std::string& data) {
    const auto key = sim_.OpenKey(RegRoot::CurrentUser, subKey, platform::Registry::Access::Read);
    if (key == 0) return false;
    const bool found = sim_.QueryValue(key, name, type, data);
    sim_.CloseKey(key);
    return found;
  }
  std::string RawData(std::string_view name, std::string_view subKey = "Software\\Drovak\\Test") {
    std::uint32_t type = 0;
    std::string data;
    Raw(subKey, name, type, data);
    return data;
  }
  bool KeyExists(std::string_view subKey) {
    const auto key = sim_.OpenKey(RegRoot::CurrentUser, subKey, platform::Registry::Access::Read);
    if (key != 0) sim_.CloseKey(key);
    return key != 0;
  }

  sim::SimRegistry sim_;
  clsReg reg_{sim_, text::Utf8Codec()};
};

TEST_F(RegistryTest, AutostartValueWrittenReadAndDeleted) {
  EXPECT_EQ(reg_.Read(kRun, u"ProcessDrovak"), u"");
  const String command = u"\"C:\\Program Files\\Drovak\\ProcessDrovak.exe\"";
  reg_.WriteValue(kRun, u"ProcessDrovak", command, 1);
  EXPECT_EQ(reg_.Read(kRun, u"ProcessDrovak"), command);
  std::uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(Raw("Software\\Microsoft\\Windows\\CurrentVersion\\Run", "ProcessDrovak", type, data));
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(data, text::ToUtf8(command) + '\0');
  reg_.DeleteValue(kRun, u"ProcessDrovak");
  EXPECT_EQ(reg_.Read(kRun, u"ProcessDrovak"), u"");
  EXPECT_EQ(sim_.OpenHandles(), 0U);
}

TEST_F(RegistryTest, ValueIsFoundByItsWholeNameIgnoringCase) {
  // A longer name that begins with the wanted one, listed first, is not it.
  reg_.WriteValue(kKey, u"ProcessDrovakOld", u"old", 1);
  EXPECT_EQ(reg_.Read(kKey, u"ProcessDrovak"), u"");
  reg_.WriteValue(kKey, u"ProcessDrovak", u"new", 1);
  EXPECT_EQ(reg_.Read(kKey, u"ProcessDrovak"), u"new");
  EXPECT_EQ(reg_.Read(kKey, u"PROCESSDROVAK"), u"new");
  EXPECT_EQ(reg_.Read(kKey, u"ProcessDrovakOld"), u"old");
  EXPECT_EQ(reg_.Read(kKey, u"Process"), u"");
  // Writing with another case replaces the value and keeps its name.
  reg_.WriteValue(kKey, u"processdrovak", u"newer", 1);
  reg_.EnumStart(kKey);
  ASSERT_EQ(reg_.Enum_GetCountValue(), 2);
  String name, value;
  int type = 0;
  reg_.Enum_GetValue(1, name, value, type);
  EXPECT_EQ(name, u"ProcessDrovak");
  EXPECT_EQ(value, u"newer");
  reg_.EnumEnd();
  int bufType = 99;
  EXPECT_EQ(reg_.Read_Buf(kKey, u"ProcessDrovak", bufType), "newer");
  EXPECT_EQ(bufType, 1);
}

// Passes every call on to another registry and counts the value reads.
class CountingRegistry final : public platform::Registry {
 public:
  explicit CountingRegistry(platform::Registry& inner) : inner_(inner) {}
  platform::RegKey OpenKey(RegRoot root, std::string_view subKey, Access access) override {
    return inner_.OpenKey(root, subKey, access);
  }
  platform::RegKey CreateKey(RegRoot root, std::string_view subKey) override { return inner_.CreateKey(root, subKey); }
  void CloseKey(platform::RegKey key) override { inner_.CloseKey(key); }
  bool QueryInfoKey(platform::RegKey key, platform::RegKeyInfo& info) override {
    return inner_.QueryInfoKey(key, info);
  }
  bool EnumValue(platform::RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type,
                 std::string& data) override {
    ++valueReads;
    return inner_.EnumValue(key, index, name, type, data);
  }
  bool QueryValue(platform::RegKey key, std::string_view name, std::uint32_t& type, std::string& data) override {
    ++valueReads;
    return inner_.QueryValue(key, name, type, data);
  }
  bool EnumKey(platform::RegKey key, std::uint32_t index, std::string& name) override {
    return inner_.EnumKey(key, index, name);
  }
  bool SetValue(platform::RegKey key, std::string_view name, std::uint32_t type, std::string_view data) override {
    return inner_.SetValue(key, name, type, data);
  }
  bool DeleteValue(platform::RegKey key, std::string_view name) override { return inner_.DeleteValue(key, name); }
  bool DeleteKey(RegRoot root, std::string_view subKey) override { return inner_.DeleteKey(root, subKey); }
  [[nodiscard]] String LastError() const override { return inner_.LastError(); }

  int valueReads = 0;

 private:
  platform::Registry& inner_;
};

TEST_F(RegistryTest, ReadingAValueReadsOnlyThatValue) {
  // Each value read of the Run key re-reads the autostart folder on Linux:
  // a lookup must not walk all the values before it.
  for (int i = 0; i < 50; ++i) reg_.WriteValue(kRun, u"Other" + text::FromAscii(std::to_string(i)), u"x", 1);
  reg_.WriteValue(kRun, u"ProcessDrovak", u"\"C:\\pd.exe\"", 1);
  CountingRegistry counting(sim_);
  clsReg reg(counting, text::Utf8Codec());
  EXPECT_EQ(reg.Read(kRun, u"processdrovak"), u"\"C:\\pd.exe\"");
  EXPECT_EQ(counting.valueReads, 1);
  int type = 0;
  EXPECT_EQ(reg.Read_Buf(kRun, u"Missing", type), "");
  EXPECT_EQ(counting.valueReads, 2);
  EXPECT_EQ(sim_.OpenHandles(), 0U);
}

TEST_F(RegistryTest, NamesAndTextInAnyScriptRoundTrip) {
  const StringView key = u"HKEY_CURRENT_USER\\Software\\Дровак\\Ключ";
  reg_.WriteValue(key, u"Имя", u"Значение ЁЖ", 1);
  EXPECT_EQ(reg_.Read(key, u"Имя"), u"Значение ЁЖ");
  EXPECT_EQ(reg_.Read(u"HKEY_CURRENT_USER\\Software\\ДРОВАК\\ключ", u"иМЯ"), u"Значение ЁЖ");
  // Nothing becomes '?', so a name is never taken for another.
  reg_.WriteValue(kKey, u"日本", u"€ 日本 \U0001F600", 1);
  EXPECT_EQ(reg_.Read(kKey, u"日本"), u"€ 日本 \U0001F600");
  EXPECT_EQ(reg_.Read(kKey, u"??"), u"");
}

TEST_F(RegistryTest, InvalidPathsDoNothing) {
  for (StringView path : {StringView(u"hkey_current_user\\Software\\X"), StringView(u"HKEY_CURRENT_USER"),
                          StringView(u"HKEY_CURRENT_USER\\"), StringView(u"HKEY_CURRENT_USER\\\\Software"),
                          StringView(u"HKEY_CURRENT_USER\\Software\\\\"), StringView(u"HKEY_CURRENT_USER\\A\\\\B"),
                          StringView(u"HKEY_CURRENT_CONFIG\\Software\\X"), StringView(u"\\Software\\X"),
                          StringView(u""), StringView(u"Software\\X"), StringView(u"HKEY_USERS\\A\0B", 12)}) {
    SCOPED_TRACE(text::ToUtf8(path));
    reg_.WriteValue(path, u"v", u"1", 1);
    reg_.CreateKey(path);
    reg_.DeleteValue(path, u"v");
    reg_.DeleteKey(path);
    EXPECT_EQ(reg_.Read(path, u"v"), u"");
    int type = 7;
    EXPECT_TRUE(reg_.Read_Buf(path, u"v", type).empty());
    EXPECT_EQ(type, 7);
  }
  EXPECT_EQ(sim_.Hive().Serialize(), platform::RegistryHive().Serialize());
  // An invalid path leaves an enumeration in progress open and unchanged.
  reg_.WriteValue(kKey, u"a", u"1", 1);
  reg_.EnumStart(kKey);
  reg_.EnumStart(u"HKEY_CURRENT_USER");
  EXPECT_EQ(reg_.Enum_GetCountValue(), 1);
  EXPECT_NE(reg_.EnumKey(), 0U);
}

TEST_F(RegistryTest, OneTrailingBackslashAddressesTheKey) {
  const String slashed = String(kKey) + u"\\";
  reg_.WriteValue(slashed, u"v", u"x", 1);
  EXPECT_TRUE(KeyExists("Software\\Drovak\\Test"));
  EXPECT_EQ(reg_.Read(kKey, u"v"), u"x");
  EXPECT_EQ(reg_.Read(slashed, u"v"), u"x");
  reg_.CreateKey(slashed + u"Sub\\");
  reg_.EnumStart(slashed);
  EXPECT_EQ(reg_.Enum_GetCountValue(), 1);
  EXPECT_EQ(reg_.Enum_GetKey(0), u"Sub");
  reg_.EnumEnd();
  reg_.DeleteValue(slashed, u"v");
  EXPECT_EQ(reg_.Read(kKey, u"v"), u"");
  reg_.DeleteKey(slashed);
  EXPECT_FALSE(KeyExists("Software\\Drovak\\Test"));
  EXPECT_EQ(sim_.OpenHandles(), 0U);
}

TEST_F(RegistryTest, ValueNameWithNulIsRefused) {
  reg_.WriteValue(kKey, u"Foo", u"keep", 1);
  const String nul(u"Foo\0bar", 7);
  reg_.WriteValue(kKey, nul, u"x", 1);
  reg_.DeleteValue(kKey, nul);
  EXPECT_EQ(reg_.Read(kKey, nul), u"");
  EXPECT_EQ(reg_.Read(kKey, u"Foo"), u"keep");
}

TEST_F(RegistryTest, TypeCodesOutsideOneToFiveWriteNothing) {
  for (int type : {0, 6, -1, 100}) reg_.WriteValue(kKey, u"v", u"1", type);
  EXPECT_FALSE(KeyExists("Software\\Drovak\\Test"));
}

TEST_F(RegistryTest, DwordParsing) {
  EXPECT_EQ(clsReg::ParseDword(u"0x10"), 16);
  EXPECT_EQ(clsReg::ParseDword(u"0XfF"), 255);
  EXPECT_EQ(clsReg::ParseDword(u" 42 "), 42);
  EXPECT_EQ(clsReg::ParseDword(u"abc"), 0);
  EXPECT_EQ(clsReg::ParseDword(u"1234567890"), 0);  // ten characters
  EXPECT_EQ(clsReg::ParseDword(u"123456789"), 123456789);
  EXPECT_EQ(clsReg::ParseDword(u"-12345678"), -12345678);
  EXPECT_EQ(clsReg::ParseDword(u"0xFFFFFFFF"), -1);
  EXPECT_EQ(clsReg::ParseDword(u"0x80000000"), INT32_MIN);
  EXPECT_EQ(clsReg::ParseDword(u"0x"), 0);
  EXPECT_EQ(clsReg::ParseDword(u"0x123456789"), 0);
  EXPECT_EQ(clsReg::ParseDword(u"0x1G"), 0);
  EXPECT_EQ(clsReg::ParseDword(u"2.5"), 2);  // halves to even
  EXPECT_EQ(clsReg::ParseDword(u"3.5"), 4);
  EXPECT_EQ(clsReg::ParseDword(u"2.51"), 3);
  EXPECT_EQ(clsReg::ParseDword(u"-2.7"), -3);
  EXPECT_EQ(clsReg::ParseDword(u".5"), 0);
  EXPECT_EQ(clsReg::ParseDword(u"+7"), 7);
  EXPECT_EQ(clsReg::ParseDword(u""), 0);
  EXPECT_EQ(clsReg::ParseDword(u"   "), 0);
  EXPECT_EQ(clsReg::ParseDword(u"-"), 0);
  EXPECT_EQ(clsReg::ParseDword(u"."), 0);
  EXPECT_EQ(clsReg::ParseDword(u"1e3"), 0);
  EXPECT_EQ(clsReg::ParseDword(u"1 2"), 0);
}

TEST_F(RegistryTest, DwordValuesAreFourBytesReadAsSignedDecimal) {
  reg_.WriteValue(kKey, u"hex", u"0x10", 3);
  reg_.WriteValue(kKey, u"blanks", u" 42 ", 3);
  reg_.WriteValue(kKey, u"bad", u"abc", 3);
  reg_.WriteValue(kKey, u"neg", u"0xFFFFFFFE", 3);
  EXPECT_EQ(RawData("hex"), std::string("\x10\0\0\0", 4));
  EXPECT_EQ(reg_.Read(kKey, u"hex"), u"16");
  EXPECT_EQ(reg_.Read(kKey, u"blanks"), u"42");
  EXPECT_EQ(reg_.Read(kKey, u"bad"), u"0");
  EXPECT_EQ(reg_.Read(kKey, u"neg"), u"-2");
  int type = 0;
  EXPECT_EQ(reg_.Read_Buf(kKey, u"hex", type), std::string("\x10\0\0\0", 4));
  EXPECT_EQ(type, 3);
  // A short DWORD written by someone else reads without running off its end.
  const auto key = sim_.CreateKey(RegRoot::CurrentUser, "Software\\Drovak\\Test");
  sim_.SetValue(key, "short", platform::kRegDword, std::string("\x05", 1));
  sim_.CloseKey(key);
  EXPECT_EQ(reg_.Read(kKey, u"short"), u"5");
}

TEST_F(RegistryTest, BinaryAndMultiStringRoundTripWithoutLoss) {
  String all;
  for (int b = 0; b < 256; ++b) all += text::Utf8Codec().FromAnsi(std::string(1, static_cast<char>(b)));
  reg_.WriteValue(kKey, u"bin", all, 2);
  EXPECT_EQ(RawData("bin").size(), 256U);
  EXPECT_EQ(reg_.Read(kKey, u"bin"), all);  // the last byte is kept
  int type = 0;
  EXPECT_EQ(reg_.Read_Buf(kKey, u"bin", type).size(), 256U);
  EXPECT_EQ(type, 2);

  reg_.WriteValue(kKey, u"multi", u"one\r\nдва\r\n\r\nfour", 5);
  EXPECT_EQ(RawData("multi"), std::string("one\0два\0\0four\0\0", 18));
  // The parts stay NUL-separated, with one NUL after the last.
  EXPECT_EQ(reg_.Read(kKey, u"multi"), String(u"one\0два\0\0four\0", 14));
  EXPECT_EQ(reg_.Read_Buf(kKey, u"multi", type), std::string("one\0два\0\0four\0", 17));
  EXPECT_EQ(type, 5);
  reg_.WriteValue(kKey, u"multi", u"", 5);
  EXPECT_EQ(RawData("multi"), std::string("\0\0", 2));
  EXPECT_EQ(reg_.Read(kKey, u"multi"), String(1, u'\0'));

  reg_.WriteValue(kKey, u"expand", u"%TEMP%\\x", 4);
  EXPECT_EQ(reg_.Read(kKey, u"expand"), u"%TEMP%\\x");
  EXPECT_EQ(reg_.Read_Buf(kKey, u"expand", type), "%TEMP%\\x");
  EXPECT_EQ(type, 4);
}

TEST_F(RegistryTest, StringsWrittenByOthersReadSafely) {
  const auto key = sim_.CreateKey(RegRoot::CurrentUser, "Software\\Drovak\\Test");
  sim_.SetValue(key, "noNul", platform::kRegSz, "abc");
  sim_.SetValue(key, "twoNuls", platform::kRegSz, std::string("ab\0\0", 4));
  sim_.SetValue(key, "innerNul", platform::kRegSz, std::string("a\0b\0", 4));
  sim_.SetValue(key, "qword", platform::kRegQword, std::string("\1\0\0\0\0\0\0\0", 8));
  sim_.SetValue(key, "", platform::kRegSz, std::string("default\0", 8));
  sim_.CloseKey(key);
  EXPECT_EQ(reg_.Read(kKey, u"noNul"), u"abc");  // no character lost
  EXPECT_EQ(reg_.Read(kKey, u"twoNuls"), String(u"ab\0", 3));  // all but the last byte
  EXPECT_EQ(reg_.Read(kKey, u"innerNul"), String(u"a\0b", 3));
  int type = 0;
  EXPECT_EQ(reg_.Read_Buf(kKey, u"qword", type).size(), 8U);
  EXPECT_EQ(type, -1);
  EXPECT_EQ(reg_.Read(kKey, u""), u"default");
}

TEST_F(RegistryTest, EmptyValuesReadEmptyAndLeaveTheType) {
  reg_.WriteValue(kKey, u"empty", u"", 1);
  EXPECT_EQ(RawData("empty"), std::string(1, '\0'));
  int type = 42;
  EXPECT_TRUE(reg_.Read_Buf(kKey, u"empty", type).empty());
  EXPECT_EQ(type, 42);
  EXPECT_TRUE(reg_.Read_Buf(kKey, u"missing", type).empty());
  EXPECT_EQ(type, 42);
  EXPECT_EQ(reg_.Read(u"HKEY_CURRENT_USER\\Software\\Missing", u"x"), u"");
}

TEST_F(RegistryTest, VeryLongValuesAndNames) {
  String big(300000, u'ж');
  reg_.WriteValue(kKey, u"big", big, 1);
  EXPECT_EQ(reg_.Read(kKey, u"big"), big);
  const String longName(platform::kRegMaxValueName, u'n');
  reg_.WriteValue(kKey, longName, u"ok", 1);
  EXPECT_EQ(reg_.Read(kKey, longName), u"ok");
  reg_.WriteValue(kKey, longName + u"n", u"too long", 1);
  EXPECT_EQ(reg_.Read(kKey, longName + u"n"), u"");
  const String longKey = String(kKey) + u"\\" + String(256, u'k');
  reg_.CreateKey(longKey);
  reg_.EnumStart(kKey);
  EXPECT_EQ(reg_.Enum_GetCountKey(), 0);
}

TEST_F(RegistryTest, DeleteValueCreatesAMissingKeyAndLeavesItEmpty) {
  reg_.DeleteValue(kKey, u"nothing");
  EXPECT_TRUE(KeyExists("Software\\Drovak\\Test"));
  reg_.EnumStart(kKey);
  EXPECT_EQ(reg_.Enum_GetCountValue(), 0);
  EXPECT_EQ(reg_.Enum_GetCountKey(), 0);
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeTree) {
  reg_.WriteValue(String(kKey) + String(u"\\A\\A1"), u"v", u"1", 1);
  reg_.WriteValue(String(kKey) + String(u"\\A\\A2\\deep"), u"v", u"1", 1);
  reg_.WriteValue(String(kKey) + String(u"\\B"), u"v", u"1", 1);
  reg_.WriteValue(u"HKEY_CURRENT_USER\\Software\\Drovak\\Other", u"keep", u"1", 1);
  reg_.DeleteKey(kKey);
  EXPECT_FALSE(KeyExists("Software\\Drovak\\Test"));
  EXPECT_EQ(reg_.Read(u"HKEY_CURRENT_USER\\Software\\Drovak\\Other", u"keep"), u"1");
  EXPECT_EQ(sim_.OpenHandles(), 0U);
}

TEST_F(RegistryTest, DeleteKeyEndsWhenASubkeyCannotBeDeleted) {
  reg_.CreateKey(String(kKey) + String(u"\\A"));
  reg_.CreateKey(String(kKey) + String(u"\\Locked\\Inner"));
  reg_.CreateKey(String(kKey) + String(u"\\Z"));
  sim_.ProtectKey(RegRoot::CurrentUser, "Software\\Drovak\\Test\\Locked");
  reg_.DeleteKey(kKey);  // must return
  EXPECT_TRUE(KeyExists("Software\\Drovak\\Test\\Locked\\Inner"));
  EXPECT_FALSE(KeyExists("Software\\Drovak\\Test\\A"));
  EXPECT_FALSE(KeyExists("Software\\Drovak\\Test\\Z"));
  EXPECT_EQ(sim_.OpenHandles(), 0U);
}

TEST_F(RegistryTest, ReadOnlyKeysStillRead) {
  reg_.WriteValue(u"HKEY_LOCAL_MACHINE\\Software\\Vendor", u"v", u"machine", 1);
  reg_.CreateKey(u"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Sub");
  sim_.ProtectKey(RegRoot::LocalMachine, "Software");
  EXPECT_EQ(reg_.Read(u"HKEY_LOCAL_MACHINE\\Software\\Vendor", u"v"), u"machine");
  reg_.EnumStart(u"HKEY_LOCAL_MACHINE\\Software\\Vendor");
  EXPECT_EQ(reg_.Enum_GetCountValue(), 1);
  EXPECT_EQ(reg_.Enum_GetKey(0), u"Sub");
  reg_.EnumEnd();
  // A failed write changes nothing.
  reg_.WriteValue(u"HKEY_LOCAL_MACHINE\\Software\\Vendor", u"v", u"user", 1);
  reg_.DeleteValue(u"HKEY_LOCAL_MACHINE\\Software\\Vendor", u"v");
  reg_.DeleteKey(u"HKEY_LOCAL_MACHINE\\Software\\Vendor");
  EXPECT_EQ(reg_.Read(u"HKEY_LOCAL_MACHINE\\Software\\Vendor", u"v"), u"machine");
  EXPECT_EQ(sim_.OpenHandles(), 0U);
}

TEST_F(RegistryTest, EnumerationListsKeysSortedAndValuesInCreationOrder) {
  for (StringView k : {u"b", u"_x", u"A", u"Яблоко", u"ёж", u"c"}) reg_.CreateKey(String(kKey) + String(u"\\") + String(k));
  reg_.WriteValue(kKey, u"zeta", u"1", 1);
  reg_.WriteValue(kKey, u"alpha", u"2", 3);
  reg_.WriteValue(kKey, u"mid", u"a\r\nb", 5);
  reg_.WriteValue(kKey, u"zeta", u"3", 1);  // keeps its place
  reg_.EnumStart(kKey);
  ASSERT_EQ(reg_.Enum_GetCountKey(), 6);
  std::vector<String> keys;
  for (int i = 0; i < reg_.Enum_GetCountKey(); ++i) keys.push_back(reg_.Enum_GetKey(i));
  // By upper-cased name: 'A' < 'B' < 'C' < '_', and 'Ё' before 'Я'.
  EXPECT_EQ(keys, (std::vector<String>{u"A", u"b", u"c", u"_x", u"ёж", u"Яблоко"}));
  EXPECT_EQ(reg_.Enum_GetKey(6), u"");
  EXPECT_EQ(reg_.Enum_GetKey(-1), u"");
  ASSERT_EQ(reg_.Enum_GetCountValue(), 3);
  EXPECT_EQ(reg_.EnumMaxSubKeyName(), 7);
  EXPECT_EQ(reg_.EnumMaxValueName(), 6);
  EXPECT_EQ(reg_.EnumMaxValueData(), 6);  // "a\0b\0\0" plus one
  String name, value;
  int type = 0;
  reg_.Enum_GetValue(0, name, value, type);
  EXPECT_EQ(name, u"zeta");
  EXPECT_EQ(value, u"3");
  EXPECT_EQ(type, 1);
  reg_.Enum_GetValue(1, name, value, type);
  EXPECT_EQ(value, u"2");
  EXPECT_EQ(type, 3);
  reg_.Enum_GetValue(2, name, value, type);
  EXPECT_EQ(value, String(u"a\0b\0", 4));
  EXPECT_EQ(type, 5);
  reg_.Enum_GetValue(3, name, value, type);
  EXPECT_EQ(name, u"");
  EXPECT_EQ(value, u"");
  EXPECT_EQ(type, 5);
  EXPECT_EQ(sim_.OpenHandles(), 1U);
  reg_.EnumEnd();
  EXPECT_EQ(sim_.OpenHandles(), 0U);
  EXPECT_EQ(reg_.EnumKey(), 0U);
  EXPECT_EQ(reg_.Enum_GetCountKey(), 0);
  EXPECT_EQ(reg_.EnumMaxValueData(), 0);
}

TEST_F(RegistryTest, EnumerationKeyLivesUntilEnumEndOrNextStart) {
  reg_.CreateKey(kKey);
  reg_.EnumStart(kKey);
  reg_.EnumStart(kKey);
  EXPECT_EQ(sim_.OpenHandles(), 1U);  // the first key was closed
  reg_.EnumStart(u"HKEY_CURRENT_USER\\Software\\Missing");
  EXPECT_EQ(sim_.OpenHandles(), 0U);
  EXPECT_EQ(reg_.Enum_GetCountKey(), 0);
  EXPECT_EQ(reg_.Enum_GetKey(0), u"");
  {
    clsReg other(sim_, text::Utf8Codec());
    other.EnumStart(kKey);
    EXPECT_EQ(sim_.OpenHandles(), 1U);
  }
  EXPECT_EQ(sim_.OpenHandles(), 0U);  // closed with its object
}

TEST_F(RegistryTest, EnumerationOfAKeyDeletedMeanwhileGivesNothing) {
  reg_.WriteValue(kKey, u"v", u"1", 1);
  reg_.EnumStart(kKey);
  reg_.DeleteKey(kKey);
  String name, value;
  int type = 0;
  reg_.Enum_GetValue(0, name, value, type);
  EXPECT_EQ(name, u"");
  EXPECT_EQ(reg_.Enum_GetKey(0), u"");
}

}  // namespace
}  // namespace pd
