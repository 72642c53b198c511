// clsINI: one INI text held in memory so that it can be read, queried,
// changed and written back with every line it had.
//
// THE DOCUMENT
// An ordered table of sections (INISection), each an ordered table of line
// records (INIKey). Every line of a section is a record, blank lines and
// comments included. Nothing is merged: two sections or two keys of the
// same name both stay, in the order of the text.
//
//   INIKey::Name   the text before the first "=" of the line, untrimmed;
//                  "" for a blank line, for a line without "=" (";note")
//                  and for a line that begins with "=".
//   INIKey::Value  the text after the first "=", untrimmed ("" without "=").
//   INIKey::Text   the whole line as read; "" for records made by editing.
//
// A record whose Name is "" is written back as its Text, any other as
// Name + "=" + Value; so a comment, a blank line and an unchanged key line
// come back exactly as they were read.
//
// PARSING (OpenString)
// Lines are split at every CR LF pair; a lone CR or LF is ordinary text. The
// empty text has no lines and gives an empty document (SectionCount 0); a
// text that ends with CR LF has an empty last line. A line is a section
// header when it begins with "[" and a "]" follows at the third character
// or later; the name is the text between "[" and that "]", untrimmed, and the
// rest of the line is dropped. "[]", "[" without "]" and " [A]" are not
// headers. Section 0 is always the unnamed section (Name ""), holding the
// lines before the first header, even when there are none; each header then
// opens a section that holds the lines up to the next header.
// A header as the very last line, with no CR LF after it, opens an empty
// section like any other header, so that writing the document gives the
// header back.
//
// WRITING (SaveString)
// Lines are joined by CR LF; no line break follows the last line, and empty
// lines met while nothing has been written yet leave no trace. Section 0 is
// written without a header; every later section with its header "[Name]",
// then its records. (A later section with an empty Name would be skipped;
// the editing operations never make one, see SetKeyValue.)
// Writing a parsed text gives it back unchanged except: empty lines at the
// very start are dropped, and anything after the "]" of a header is dropped.
//
// BYTES AND FILES
// OpenBuf/SaveBuf convert through the platform's file text
// (Codec::FromFileText/ToFileText of the codec the document was made with). Windows: the ANSI code page, one byte per
// character; a character it cannot hold is written as "?". Linux and the
// simulation: UTF-8, so every character survives; bytes that are not UTF-8
// (a file of an earlier build, a list copied from Windows) read as
// Windows-1251 and are written back as UTF-8, and a UTF-8 byte-order mark
// is dropped. No byte-order mark, no added line break is written; an empty
// document is zero bytes. OpenDataFile reads a file with any line ends (CR LF,
// LF, CR) as CR LF lines and tells a missing file from one that cannot be
// read; every save writes CR LF.
//
// LOOKUPS
// Section and key names are found with spaces (U+0020 only, not tabs)
// trimmed from both ends and without regard to letter case (Latin and
// Cyrillic alike); the first match wins. The section name "" (or spaces)
// finds the unnamed section only; a section read from a header of spaces
// ("[  ]") is kept and written but never found by name, since after any
// reload the unnamed section 0 stands before it. A key name finds only key
// lines: records with an empty Name (blank lines, comments, lines without
// "=") are never found, so a name of spaces cannot reach and destroy a
// comment. Names given to the editing operations are stored as passed,
// untrimmed, except that a new unnamed section is always named "".
//
// LAYOUT OF EDITS
// A new key goes before its section's trailing blank line; a key added to a
// section without records is followed by a new blank line. A new section is
// appended after one blank line. So keys set one by one into an empty
// document are written one per line, followed by one CR LF.
//
// ERRORS
// Nothing is thrown for any text, name or value; lookups that find nothing
// give "" or 0. Operations that change or save report with their result
// whether they did; callers may ignore it. A name or value that the INI
// syntax cannot hold is refused and changes nothing (see CanStoreKey and
// CanStoreSection): it would otherwise come back as other keys or sections
// after a save and a reload. A negative index to an Enum_ operation is a
// caller's error and throws std::out_of_range; an index at or above the
// count gives "" or 0.
//
// Used from one thread only; no locks.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "platform/types.h"

namespace pd::ini {

struct INIKey {
  String Name;
  String Value;
  String Text;
};

struct INISection {
  String Name;  // "" for the leading unnamed section
  std::vector<INIKey> Keys;

  [[nodiscard]] std::int32_t KeyCount() const { return static_cast<std::int32_t>(Keys.size()); }
};

class clsINI {
 public:
  // codec: the platform's (Platform::codec()) for OpenBuf, SaveBuf and the
  // files; the UTF-8 one of Linux and the simulation when not given.
  explicit clsINI(const text::Codec& codec = text::Utf8Codec()) : codec_(&codec) {}

  // ---- Text, bytes and files -------------------------------------------

  // Clears the document and parses the text.
  void OpenString(StringView text);
  // The document as text; the document is unchanged.
  [[nodiscard]] String SaveString() const;

  // Converts the bytes from the single-byte code page and parses them.
  void OpenBuf(std::string_view bytes);
  // SaveString converted to the single-byte code page: exactly one byte per
  // character, empty for an empty document.
  [[nodiscard]] std::string SaveBuf() const;

  // Reads the whole file (raw bytes, no line-end translation) and parses it.
  // A path that names no file (missing, a directory, "") returns false and
  // leaves the document as it was. A file that exists but cannot be read
  // gives an empty document and false. True when the file was read.
  bool OpenFile(platform::Files& files, StringView path);
  // Writes SaveBuf to the file safely: a temporary file in the same folder
  // is written, flushed and put in place of the old one in one step. On any
  // failure (a directory at the path, "", a full disk, a folder that refuses
  // new files) the old file stays whole, byte for byte, and false is
  // returned; files.LastError() says why. The document is unchanged.
  bool SaveFile(platform::Files& files, StringView path) const;

  // What OpenDataFile found at the path.
  enum class FileRead {
    kRead,        // the file was read into the document
    kMissing,     // no file there (nothing, a directory, ""): the document is as it was
    kUnreadable,  // a file is there but could not be read: the document is empty
  };
  // Reads a data file the way people edit them: as OpenFile, except that
  // every line end (CR LF, a lone LF, a lone CR) ends a line, so that a file
  // saved by an editor that writes LF or CR holds the same keys; SaveFile
  // writes CR LF again. A caller must not write over a file that was
  // kUnreadable: its content was never seen. Keys for a document read this
  // way are checked with CanStoreDataKey.
  FileRead OpenDataFile(platform::Files& files, StringView path);
  // The bytes with every line end (CR LF, LF, CR) made CR LF.
  [[nodiscard]] static std::string CrLfLineEnds(std::string_view bytes);

  // Empties the document: SectionCount 0.
  void Clean();

  // ---- Lookups and edits ---------------------------------------------------

  // The key's Value exactly as stored (untrimmed; a ";" is part of it); ""
  // when the key name is "" or the section or key does not exist.
  [[nodiscard]] String GetKeyValue(StringView section, StringView key) const;

  // Sets the key's Value, creating the section (AddSection) and the key
  // (AddKey) when missing. A found key keeps its Name as read: the line
  // "key = old" set to "new" is written "key =new". Returns false and does
  // nothing when the key name is "" or CanStoreKey refuses the name (or the
  // found key's name) with the value, or a new section's name is refused by
  // CanStoreSection. A new unnamed section (section name "" or spaces)
  // becomes section 0 again (it is only missing from an empty document and
  // after DeleteSection("")), since an unnamed section anywhere else would
  // not be written.
  bool SetKeyValue(StringView section, StringView key, StringView value);

  // Renames the first matching section. False and no change when the new
  // name is "", is refused by CanStoreSection, or the section is missing.
  // No check that the new name is already in use.
  bool RenameSection(StringView section, StringView newName);

  // Renames the first matching key. False and no change when the new name
  // is "", CanStoreKey refuses it with the key's value, or the section or
  // key is missing.
  bool RenameKey(StringView section, StringView key, StringView newName);

  // Removes the first matching section with all its records; later sections
  // move up. The unnamed section can be deleted too (by ""); the first named
  // section then becomes section 0. False when the section is missing.
  bool DeleteSection(StringView section);

  // Removes the first matching key's record; later records move up. False
  // when the key name is "" or the section or key is missing.
  bool DeleteKey(StringView section, StringView key);

  // ---- Enumeration ---------------------------------------------------------

  [[nodiscard]] std::int32_t Enum_GetSectionCount() const { return SectionCount(); }
  // "" for the unnamed section and for an index at or above the count.
  [[nodiscard]] String Enum_GetSectionName(std::int32_t section) const;
  // Every record counts, blank and comment lines included; 0 out of range.
  [[nodiscard]] std::int32_t Enum_GetKeyCount(std::int32_t section) const;
  // "" for blank lines, lines without "=" and indexes out of range.
  [[nodiscard]] String Enum_GetKeyName(std::int32_t section, std::int32_t key) const;
  [[nodiscard]] String Enum_GetKeyValue(std::int32_t section, std::int32_t key) const;

  // ---- The tables, read-only -------------------------------------------------

  [[nodiscard]] std::int32_t SectionCount() const { return static_cast<std::int32_t>(sections_.size()); }
  [[nodiscard]] const std::vector<INISection>& Sections() const { return sections_; }

  // Whether a key line Name + "=" + Value reads back as the same key with
  // the same value: the name is not "", holds no "=" and no CR LF, the value
  // holds no CR LF, and the line is not taken for a section header (a name
  // beginning with "[" with a "]" from the third character on).
  [[nodiscard]] static bool CanStoreKey(StringView name, StringView value);
  // CanStoreKey for a file read back by OpenDataFile, where a lone CR or LF
  // ends a line too: neither the name nor the value holds one.
  [[nodiscard]] static bool CanStoreDataKey(StringView name, StringView value);
  // Whether "[" + name + "]" reads back as a header that finds this
  // section: the name is not "" nor spaces only, holds no CR LF, and holds
  // no "]" after its first character.
  [[nodiscard]] static bool CanStoreSection(StringView name);

 private:
  // Lookup index of one section or of the section table: the trimmed,
  // lower-cased name of each entry to the first entry that has it. Built
  // when first needed and dropped when names move, so that a run of
  // lookups (a list written key by key) stays linear.
  struct NameIndex {
    bool built = false;
    std::unordered_map<String, std::int32_t> first;
  };

  [[nodiscard]] std::int32_t FindSection(StringView name) const;
  [[nodiscard]] std::int32_t FindKey(std::int32_t section, StringView name) const;
  std::int32_t AddSection(StringView name);
  std::int32_t AddKey(std::int32_t section, StringView name);
  void ResetIndexes();
  static void RequireIndex(std::int32_t index, const char* what);

  const text::Codec* codec_;
  std::vector<INISection> sections_;
  mutable NameIndex sectionIndex_;
  mutable std::vector<NameIndex> keyIndex_;  // parallel to sections_
};

}  // namespace pd::ini
