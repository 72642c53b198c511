// Every component's stored design properties: the bag each writes, for its
// defaults and for a state that differs from every default, is the one
// stored forms hold (recorded byte for byte below), and reading it back into
// a new component writes the same bag again.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "controls/XP_Button.h"
#include "controls/XP_CheckBox.h"
#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "hotkeys/HotKeys.h"
#include "platform/resources.h"
#include "platform/sim/platform.h"
#include "platform/text.h"
#include "shell/SaveDialog.h"
#include "shell/TrayIcon.h"

namespace pd {
namespace {

// A bag that keeps each value as the bytes of its type and value, by the
// rules of the host's bag: a value equal to its default is not stored.
class BytesBag final : public forms::PropertyStore {
 public:
  std::int32_t ReadInt(StringView name, std::int32_t def) override { return Find(name) ? ints_[Key(name)] : def; }
  bool ReadBool(StringView name, bool def) override { return Find(name) ? bools_[Key(name)] : def; }
  String ReadString(StringView name, StringView def) override { return Find(name) ? strings_[Key(name)] : String(def); }
  Colour ReadColour(StringView name, Colour def) override { return Find(name) ? colours_[Key(name)] : def; }
  platform::Font ReadFont(StringView name, const platform::Font& def) override {
    return Find(name) ? fonts_[Key(name)] : def;
  }
  std::shared_ptr<const platform::Picture> ReadPicture(StringView name) override {
    return Find(name) ? pictures_[Key(name)] : nullptr;
  }

  void WriteInt(StringView name, std::int32_t v, std::int32_t def) override {
    ints_[Key(name)] = v;
    Put(name, v == def, "int " + std::to_string(v));
  }
  void WriteBool(StringView name, bool v, bool def) override {
    bools_[Key(name)] = v;
    Put(name, v == def, v ? "bool true" : "bool false");
  }
  void WriteString(StringView name, StringView v, StringView def) override {
    strings_[Key(name)] = String(v);
    Put(name, v == def, "string " + text::ToUtf8(v));
  }
  void WriteColour(StringView name, Colour v, Colour def) override {
    colours_[Key(name)] = v;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", v);
    Put(name, v == def, std::string("colour ") + hex);
  }
  void WriteFont(StringView name, const platform::Font& v, const platform::Font& def) override {
    fonts_[Key(name)] = v;
    Put(name, v == def,
        "font " + text::ToUtf8(v.face) + " " + std::to_string(v.size) + " " + std::to_string(v.bold) +
            std::to_string(v.italic) + std::to_string(v.underline) + " " + std::to_string(v.charset));
  }
  void WritePicture(StringView name, std::shared_ptr<const platform::Picture> v) override {
    pictures_[Key(name)] = v;
    Put(name, v == nullptr,
        v == nullptr ? "" : "picture " + std::to_string(v->Width()) + "x" + std::to_string(v->Height()));
  }

  // The stored values in name order, one a line.
  [[nodiscard]] std::string Bytes() const {
    std::string out;
    for (const auto& [name, bytes] : stored_) out += name + " = " + bytes + "\n";
    return out;
  }

 private:
  static std::string Key(StringView name) { return text::ToUtf8(name); }
  bool Find(StringView name) const { return stored_.count(Key(name)) != 0; }
  void Put(StringView name, bool isDefault, std::string bytes) {
    if (isDefault) {
      stored_.erase(Key(name));
    } else {
      stored_[Key(name)] = std::move(bytes);
    }
  }

  std::map<std::string, std::string> stored_;
  std::map<std::string, std::int32_t> ints_;
  std::map<std::string, bool> bools_;
  std::map<std::string, String> strings_;
  std::map<std::string, Colour> colours_;
  std::map<std::string, platform::Font> fonts_;
  std::map<std::string, std::shared_ptr<const platform::Picture>> pictures_;
};

class StoredProperties : public ::testing::Test {
 protected:
  StoredProperties() { form_.Show(); }

  // The bag a component writes; read back into a second one, the bag it
  // writes in turn; and the first one's bag once put back to its defaults.
  template <typename C>
  std::array<std::string, 3> RoundTrip(const std::function<void(C&)>& set) {
    C first(form_, u"first");
    set(first);
    BytesBag bag;
    first.WriteProperties(bag);
    C second(form_, u"second");
    second.ReadProperties(bag);
    BytesBag again;
    second.WriteProperties(again);
    first.InitProperties();
    BytesBag initial;
    first.WriteProperties(initial);
    return {bag.Bytes(), again.Bytes(), initial.Bytes()};
  }

  template <typename C>
  void Expect(const char* what, const std::function<void(C&)>& set, const std::string& recorded) {
    const auto [bytes, again, initial] = RoundTrip<C>(set);
    if (std::getenv("PD_PRINT_BAGS") != nullptr) std::printf("---- %s\n%s", what, bytes.c_str());
    EXPECT_EQ(bytes, recorded) << what;
    EXPECT_EQ(again, bytes) << what << ": read back and written again";
    EXPECT_EQ(initial, "") << what << ": the defaults store nothing";
  }

  std::shared_ptr<const platform::Picture> Picture(int id) { return sim_.resources().LoadPicture(id, 0); }

  sim::SimPlatform sim_;
  forms::ControlHost host_{sim_};
  forms::Form form_{host_, u"frmTest", u"Test"};
  const platform::Font font_{
      .face = u"Verdana", .size = 10, .bold = true, .italic = false, .underline = true, .charset = 0};
};

TEST_F(StoredProperties, TheSkinnedButtonKeepsItsBag) {
  Expect<controls::XP_Button>(
      "button defaults", [](controls::XP_Button&) {}, "");
  Expect<controls::XP_Button>(
      "button changed",
      [this](controls::XP_Button& b) {
        b.SetAlignPicture(2);
        b.SetCaption(u"Удалить");
        b.SetControlType(2);
        b.SetForeColor(0x010203);
        b.SetForeColorDisabled(0);
        b.SetForeColorDown(0x8000000F);
        b.SetForeColorMove(0xFF);
        b.SetFontBoldUp(true);
        b.SetFontBoldDown(true);
        b.SetFontBoldMove(true);
        b.SetFontItalicUp(true);
        b.SetFontItalicDown(true);
        b.SetFontItalicMove(true);
        b.SetFontUnderlineUp(true);
        b.SetFontUnderlineDown(true);
        b.SetFontUnderlineMove(true);
        b.SetGroup(-3);
        b.SetValue(true);
        b.SetMouseIcon(Picture(platform::res::kCheckBoxSkin));
        b.SetPicture(Picture(platform::res::kButtonSkin));
        b.SetFont(font_);
        b.SetEnabled(false);
        b.SetMousePointer(11);
        b.SetOLEDropMode(1);
      },
      "AlignPicture = int 2\n"
      "Caption = string Удалить\n"
      "ControlType = int 2\n"
      "Enabled = bool false\n"
      "Font = font Verdana 10.000000 101 0\n"
      "FontBoldDown = bool true\n"
      "FontBoldMove = bool true\n"
      "FontBoldUp = bool true\n"
      "FontItalicDown = bool true\n"
      "FontItalicMove = bool true\n"
      "FontItalicUp = bool true\n"
      "FontUnderlineDown = bool true\n"
      "FontUnderlineMove = bool true\n"
      "FontUnderlineUp = bool true\n"
      "ForeColor = colour 00010203\n"
      "ForeColorDisabled = colour 00000000\n"
      "ForeColorDown = colour 8000000F\n"
      "ForeColorMove = colour 000000FF\n"
      "Group = int -3\n"
      "MouseIcon = picture 13x156\n"
      "MousePointer = int 11\n"
      "OLEDropMode = int 1\n"
      "Picture = picture 18x105\n"
      "Value = bool true\n");
}

TEST_F(StoredProperties, TheSkinnedCheckBoxKeepsItsBag) {
  Expect<controls::XP_CheckBox>(
      "check box defaults", [](controls::XP_CheckBox&) {}, "");
  Expect<controls::XP_CheckBox>(
      "check box changed",
      [this](controls::XP_CheckBox& c) {
        c.SetAligment(1);
        c.SetAutoSizeH(true);
        c.SetAutoSizeV(true);
        c.SetCaption(u"");
        c.SetForeColor(0x010203);
        c.SetForeColorDisabled(0x80000011);
        c.SetForeColorDown(0xFF00);
        c.SetForeColorMove(0xFF);
        c.SetNumStates(3);
        c.SetValue(2);
        c.SetBackPicture(Picture(platform::res::kButtonSkin));
        c.SetFont(font_);
        c.SetMouseIcon(Picture(platform::res::kCheckBoxSkin));
        c.SetEnabled(false);
        c.SetBackColor(0xFFFFFF);
        c.SetMousePointer(2);
        c.SetOLEDropMode(1);
      },
      "Aligment = int 1\n"
      "AutoSizeH = bool true\n"
      "AutoSizeV = bool true\n"
      "BackColor = colour 00FFFFFF\n"
      "BackPicture = picture 18x105\n"
      "Caption = string \n"
      "Enabled = bool false\n"
      "Font = font Verdana 10.000000 101 0\n"
      "ForeColor = colour 00010203\n"
      "ForeColorDisabled = colour 80000011\n"
      "ForeColorDown = colour 0000FF00\n"
      "ForeColorMove = colour 000000FF\n"
      "MouseIcon = picture 13x156\n"
      "MousePointer = int 2\n"
      "NumStates = int 3\n"
      "OLEDropMode = int 1\n"
      "Value = int 2\n");
}

TEST_F(StoredProperties, TheListKeepsItsBag) {
  Expect<controls::XP_ListBox>(
      "list defaults", [](controls::XP_ListBox&) {}, "");
  Expect<controls::XP_ListBox>(
      "list changed",
      [this](controls::XP_ListBox& l) {
        l.SetBackColor(0x112233);
        l.SetEnabled(false);
        l.SetFont(font_);
        l.SetForeColor(0x445566);
        l.SetForeColorSelected(0xFFFFFF);
        l.SetMouseIcon(Picture(platform::res::kCheckBoxSkin));
        l.SetMousePointer(5);
        l.SetBorderColor(0);
        l.SetItemHeight(16);
        l.SetStyle(2);
        l.SetSelectionColor(0x404040);
        l.SetImageWidth(0);
        l.SetMultiSelect(2);
        l.SetFullRowSelect(false);
        l.SetCleanOnClick(true);
      },
      "BackColor = colour 00112233\n"
      "BorderColor = colour 00000000\n"
      "CleanOnClick = bool true\n"
      "Enabled = bool false\n"
      "Font = font Verdana 10.000000 101 0\n"
      "ForeColor = colour 00445566\n"
      "ForeColorSelected = colour 00FFFFFF\n"
      "FullRowSelect = bool false\n"
      "ImageWidth = int 0\n"
      "ItemHeight = int 16\n"
      "MouseIcon = picture 13x156\n"
      "MousePointer = int 5\n"
      "MultiSelect = int 2\n"
      "SelectionColor = colour 00404040\n"
      "Style = int 2\n");
}

TEST_F(StoredProperties, TheShellComponentsAndTheHotKeysKeepTheirBags) {
  Expect<shell::TrayIcon>(
      "tray defaults", [](shell::TrayIcon&) {}, "");
  Expect<shell::TrayIcon>(
      "tray changed",
      [this](shell::TrayIcon& t) {
        t.SetIcon(Picture(platform::res::kCheckBoxSkin));
        t.SetTipText(u"ProcessDrovak — включен");
        t.SetRestoreOnShellFail(true);
      },
      "Icon = picture 13x156\n"
      "RestoreOnShellFail = bool true\n"
      "TipText = string ProcessDrovak — включен\n");
  Expect<shell::SaveDialog>(
      "save dialog defaults", [](shell::SaveDialog&) {}, "");
  Expect<shell::SaveDialog>(
      "save dialog changed",
      [](shell::SaveDialog& d) {
        d.SetAppName(u"app");
        d.SetCancelError(true);
        d.SetDefaultExt(u"txt");
        d.SetDialogPrompt(u"prompt");
        d.SetDialogTitle(u"Сохранить");
        d.SetFileName(u"C:\\report.txt");
        d.SetFileTitle(u"report.txt");
        d.SetFilter(u"Текстовый файл (*.txt)|*.txt");
        d.SetFilterIndex(1);
        d.SetFlags(2);
        d.SetInitDir(u"C:\\");
      },
      "AppName = string app\n"
      "CancelError = bool true\n"
      "DefaultExt = string txt\n"
      "DialogPrompt = string prompt\n"
      "DialogTitle = string Сохранить\n"
      "FileName = string C:\\report.txt\n"
      "FileTitle = string report.txt\n"
      "Filter = string Текстовый файл (*.txt)|*.txt\n"
      "FilterIndex = int 1\n"
      "Flags = int 2\n"
      "InitDir = string C:\\\n");
  Expect<hotkeys::HotKeys>(
      "hot keys defaults", [](hotkeys::HotKeys&) {}, "");
  Expect<hotkeys::HotKeys>(
      "hot keys changed",
      [](hotkeys::HotKeys& h) {
        h.SetEnabled(false);
        h.SetOnlyOnFocus(true);
      },
      "Enabled = bool false\n"
      "OnlyOnFocus = bool true\n");
}

}  // namespace
}  // namespace pd
