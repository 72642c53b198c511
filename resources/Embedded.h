// The files of resources/ built into the program as data: each picture's
// resource number, the icon size it is drawn for and its bytes. Plain data:
// what the bytes are and how they are read is the reader's business.
#pragma once

#include <span>
#include <string_view>

namespace pd::resources {

// One file: a resource number, the icon size it is drawn for (16 or 32; 0
// for a skin strip) and the file's bytes.
struct EmbeddedFile {
  int id = 0;
  int size = 0;
  std::string_view bytes;
};

// Every embedded file (generated from the files by embed.cmake).
std::span<const EmbeddedFile> EmbeddedFiles();

}  // namespace pd::resources
