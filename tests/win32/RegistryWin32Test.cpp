// clsReg over the real Windows registry. Every test works under a key of
// its own below HKEY_CURRENT_USER\Software\ProcessDrovakTests and removes it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win32/platform.h"
#include "platform/win32/text.h"
#include "registry/clsReg.h"
#include "test_util.h"

namespace pd {
namespace {

using platform::RegRoot;

constexpr StringView kRun = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

String Ascii(const std::string& s) { return text::FromAscii(s); }

class RegistryWin32 : public testing::Test {
 protected:
  void SetUp() override {
    sub_ = "Software\\ProcessDrovakTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount64());
    key_ = u"HKEY_CURRENT_USER\\" + Ascii(sub_);
  }
  void TearDown() override {
    reg_.EnumEnd();
    reg_.DeleteKey(key_);
    reg_.DeleteKey(u"HKEY_CURRENT_USER\\Software\\ProcessDrovakTests");
    HKEY left = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, sub_.c_str(), 0, KEY_READ, &left), ERROR_SUCCESS);
  }
  // Output of the system's own registry tool.
  static std::string RegQuery(const std::string& args) {
    std::string out;
    FILE* p = _popen(("reg query " + args + " 2>&1").c_str(), "r");
    if (p == nullptr) return out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    _pclose(p);
    return out;
  }

  std::unique_ptr<platform::Registry> port_ = win32::CreateWin32Registry();
  clsReg reg_{*port_, win32::AnsiCodec()};
  std::string sub_;
  String key_;
};

TEST_F(RegistryWin32, RunValueIsSeenByTheSystemsRegistryTool) {
  const std::string name = "ProcessDrovakTest" + std::to_string(GetCurrentProcessId());
  const String command = u"\"C:\\Program Files\\Drovak\\ProcessDrovak.exe\"";
  reg_.WriteValue(kRun, Ascii(name), command, 1);
  EXPECT_EQ(reg_.Read(kRun, Ascii(name)), command);
  const std::string shown = RegQuery("\"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\" /v " + name);
  EXPECT_NE(shown.find(name), std::string::npos) << shown;
  EXPECT_NE(shown.find("REG_SZ"), std::string::npos) << shown;
  EXPECT_NE(shown.find("\"C:\\Program Files\\Drovak\\ProcessDrovak.exe\""), std::string::npos) << shown;
  reg_.DeleteValue(kRun, Ascii(name));
  EXPECT_EQ(reg_.Read(kRun, Ascii(name)), u"");
  EXPECT_EQ(RegQuery("\"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\" /v " + name).find(
                "\"C:\\Program Files"),
            std::string::npos);
}

TEST_F(RegistryWin32, ValuesMatchTheirWholeNameIgnoringCase) {
  reg_.WriteValue(key_, u"ProcessDrovakOld", u"old", 1);
  EXPECT_EQ(reg_.Read(key_, u"ProcessDrovak"), u"");
  reg_.WriteValue(key_, u"ProcessDrovak", u"new", 1);
  EXPECT_EQ(reg_.Read(key_, u"processdrovak"), u"new");
  EXPECT_EQ(reg_.Read(key_, u"ProcessDrovakOld"), u"old");
}

TEST_F(RegistryWin32, TypesAreStoredAsTheSystemStoresThem) {
  reg_.WriteValue(key_, u"sz", u"text", 1);
  reg_.WriteValue(key_, u"dw", u"0xFFFFFFFE", 3);
  reg_.WriteValue(key_, u"multi", u"a\r\nb", 5);
  reg_.WriteValue(key_, u"exp", u"%TEMP%", 4);
  String all;
  for (int b = 1; b < 256; ++b) all += win32::AnsiCodec().FromAnsi(std::string(1, static_cast<char>(b)));
  reg_.WriteValue(key_, u"bin", all, 2);

  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sub_.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  auto raw = [&](const char* name, DWORD& type) {
    BYTE buf[512] = {};
    DWORD size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(k, name, nullptr, &type, buf, &size), ERROR_SUCCESS) << name;
    return std::string(reinterpret_cast<const char*>(buf), size);
  };
  DWORD type = 0;
  EXPECT_EQ(raw("sz", type), std::string("text\0", 5));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw("dw", type), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(raw("multi", type), std::string("a\0b\0\0", 5));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(raw("exp", type), std::string("%TEMP%\0", 7));
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(raw("bin", type).size(), 255U);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  RegCloseKey(k);

  EXPECT_EQ(reg_.Read(key_, u"dw"), u"-2");
  EXPECT_EQ(reg_.Read(key_, u"multi"), String(u"a\0b\0", 4));
  EXPECT_EQ(reg_.Read(key_, u"exp"), u"%TEMP%");
  EXPECT_EQ(reg_.Read(key_, u"bin"), all);
  int code = 0;
  EXPECT_EQ(reg_.Read_Buf(key_, u"bin", code).size(), 255U);
  EXPECT_EQ(code, 2);
  reg_.WriteValue(key_, u"none", u"1", 6);
  EXPECT_EQ(reg_.Read(key_, u"none"), u"");
}

// Names and paths in any script go through the wide calls: a program in a
// folder the ANSI code page cannot name still gets a Run value that the
// system reads whole, and that reads back equal, so switching autostart off
// finds and deletes it.
TEST_F(RegistryWin32, NamesAndPathsInAnyScriptComeBackWhole) {
  std::mt19937 rng(5);
  const std::string runName = "ProcessDrovakTest" + std::to_string(GetCurrentProcessId());
  for (int i = 0; i < 12; ++i) {
    const String name = test::RandomText(rng, 8) + Ascii(std::to_string(i));
    const String command = u"\"C:\\" + test::RandomText(rng, 8) + u" x\\ProcessDrovak.exe\"";
    reg_.WriteValue(key_ + u"\\" + name, name, command, 1);
    ASSERT_EQ(reg_.Read(key_ + u"\\" + text::LowerCase(name), text::LowerCase(name)), command);
    reg_.EnumStart(key_ + u"\\" + name);
    String enumName, enumValue;
    int type = 0;
    reg_.Enum_GetValue(0, enumName, enumValue, type);
    reg_.EnumEnd();
    EXPECT_EQ(enumName, name);
    EXPECT_EQ(enumValue, command);

    reg_.WriteValue(kRun, Ascii(runName), command, 1);
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_READ,
                            &run), ERROR_SUCCESS);
    wchar_t data[512] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    const std::wstring wideName(runName.begin(), runName.end());
    EXPECT_EQ(RegQueryValueExW(run, wideName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    RegCloseKey(run);
    EXPECT_EQ(String(data, data + wcslen(data)), command) << "the system holds the path whole";
    EXPECT_EQ(reg_.Read(kRun, Ascii(runName)), command);
    reg_.DeleteValue(kRun, Ascii(runName));
    EXPECT_EQ(reg_.Read(kRun, Ascii(runName)), u"");
  }
}

// What the ANSI code page holds is stored exactly as the ANSI calls store it.
TEST_F(RegistryWin32, TextTheCodePageHoldsReadsTheSameThroughTheAnsiCalls) {
  String value;
  for (int b = 0x20; b < 256; ++b) value += win32::AnsiCodec().FromAnsi(std::string(1, static_cast<char>(b)));
  value = win32::AnsiCodec().FromAnsi(win32::AnsiCodec().ToAnsi(value));  // what this code page maps
  reg_.WriteValue(key_, u"sz", value, 1);
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sub_.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  char buf[1024] = {};
  DWORD size = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(k, "sz", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_EQ(std::string(buf, size), win32::AnsiCodec().ToAnsi(value) + '\0');
  int type = 0;
  EXPECT_EQ(reg_.Read_Buf(key_, u"sz", type), win32::AnsiCodec().ToAnsi(value)) << "a string's bytes in the ANSI code page";
}

// Windows lists values in creation order and subkeys by upper-cased name
// (the simulation does the same); Wine sorts values by name and subkeys by
// lower-cased name. What holds on both is checked here.
TEST_F(RegistryWin32, EnumerationListsEveryKeyAndValueOnce) {
  for (StringView k : {u"b", u"_x", u"A", u"c"}) reg_.CreateKey(key_ + u"\\" + String(k));
  reg_.WriteValue(key_, u"zeta", u"1", 1);
  reg_.WriteValue(key_, u"alpha", u"22", 3);
  reg_.WriteValue(key_, u"zeta", u"3", 1);
  reg_.EnumStart(key_);
  ASSERT_EQ(reg_.Enum_GetCountKey(), 4);
  std::vector<String> keys;
  for (int i = 0; i < 4; ++i) keys.push_back(reg_.Enum_GetKey(i));
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<String>{u"A", u"_x", u"b", u"c"}));
  EXPECT_EQ(reg_.Enum_GetKey(4), u"");
  ASSERT_EQ(reg_.Enum_GetCountValue(), 2);
  std::map<String, std::pair<String, int>> values;
  for (int i = 0; i < 2; ++i) {
    String name, value;
    int type = 0;
    reg_.Enum_GetValue(i, name, value, type);
    values[name] = {value, type};
  }
  EXPECT_EQ(values[u"zeta"], (std::pair<String, int>{u"3", 1}));
  EXPECT_EQ(values[u"alpha"], (std::pair<String, int>{u"22", 3}));
  EXPECT_EQ(reg_.EnumMaxSubKeyName(), 3);
  EXPECT_EQ(reg_.EnumMaxValueName(), 6);
  EXPECT_GE(reg_.EnumMaxValueData(), 5);  // the system counts its own (wide) storage
  reg_.EnumEnd();
  EXPECT_EQ(reg_.EnumKey(), 0U);
}

TEST_F(RegistryWin32, DeleteKeyRemovesTheTreeAndDeleteValueCreatesTheKey) {
  reg_.WriteValue(key_ + u"\\A\\B\\C", u"v", u"1", 1);
  reg_.CreateKey(key_ + u"\\D");
  reg_.DeleteKey(key_ + u"\\A");
  reg_.EnumStart(key_);
  EXPECT_EQ(reg_.Enum_GetCountKey(), 1);
  EXPECT_EQ(reg_.Enum_GetKey(0), u"D");
  reg_.EnumEnd();
  reg_.DeleteValue(key_ + u"\\E", u"none");
  reg_.EnumStart(key_ + u"\\E");
  EXPECT_NE(reg_.EnumKey(), 0U);
  EXPECT_EQ(reg_.Enum_GetCountValue(), 0);
}

TEST_F(RegistryWin32, PathsThatWouldReachTheRootAreRefused) {
  reg_.CreateKey(key_);
  for (std::string_view bad : {"\\", "\\Software", "Software\\", "Software\\\\Microsoft", ""}) {
    EXPECT_EQ(port_->OpenKey(RegRoot::CurrentUser, bad, platform::Registry::Access::Read), 0U) << bad;
    EXPECT_EQ(port_->CreateKey(RegRoot::CurrentUser, bad), 0U) << bad;
    EXPECT_FALSE(port_->DeleteKey(RegRoot::CurrentUser, bad)) << bad;
  }
  EXPECT_FALSE(port_->LastError().empty());
  reg_.DeleteKey(u"HKEY_CURRENT_USER\\\\");
  reg_.DeleteKey(u"HKEY_CURRENT_USER\\");
  reg_.EnumStart(u"HKEY_CURRENT_USER\\Software\\ProcessDrovakTests");
  EXPECT_GE(reg_.Enum_GetCountKey(), 1);  // nothing above was touched
}

TEST_F(RegistryWin32, MissingKeysReadEmpty) {
  EXPECT_EQ(reg_.Read(key_ + u"\\Missing", u"x"), u"");
  EXPECT_EQ(reg_.Read(kRun, u"NoSuchValueOfProcessDrovak"), u"");
  int type = 9;
  EXPECT_TRUE(reg_.Read_Buf(key_ + u"\\Missing", u"x", type).empty());
  EXPECT_EQ(type, 9);
  String big(100000, u'x');
  reg_.WriteValue(key_, u"big", big, 1);
  EXPECT_EQ(reg_.Read(key_, u"big"), big);
}

}  // namespace
}  // namespace pd
