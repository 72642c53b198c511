// The pictures of resources/ built into the program as data, for the
// backends without a resource compiler (Linux and the simulation); Windows
// links the same pictures through ProcessDrovak.rc.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "platform/surface.h"

namespace pd::resources {

// One BMP file: a resource number, the icon size it is drawn for (16 or 32;
// 0 for a skin strip) and the file's bytes.
struct EmbeddedFile {
  int id = 0;
  int size = 0;
  std::string_view bytes;
};

// Every embedded file (generated from the files by embed.cmake).
std::span<const EmbeddedFile> EmbeddedFiles();

// The BMP file of a resource number at the size res::IconSize picks; empty
// for a number that has none.
std::string_view FindBmp(int id, int size);

// The decoded picture of a resource number (32-bit with alpha for icons,
// 24-bit for skin strips), made by graphics; nullptr for a number that has
// none.
std::unique_ptr<platform::Picture> LoadEmbeddedPicture(platform::Graphics& graphics, int id, int size);

}  // namespace pd::resources
