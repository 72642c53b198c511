#include "platform/soft/Bmp.h"

#include <fstream>

namespace pd::soft {
namespace {

void Put16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
std::uint32_t Get(std::string_view b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

}  // namespace

std::string EncodeBmp(int width, int height, std::span<const Colour> pixels) {
  if (width <= 0 || height <= 0) return {};
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (pixels.size() < count) return {};
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
  std::string s;
  s.reserve(54 + imageSize);
  s += "BM";
  Put32(s, 54 + imageSize);
  Put32(s, 0);
  Put32(s, 54);
  Put32(s, 40);  // BITMAPINFOHEADER
  Put32(s, static_cast<std::uint32_t>(width));
  Put32(s, static_cast<std::uint32_t>(height));  // bottom-up
  Put16(s, 1);
  Put16(s, 24);
  Put32(s, 0);  // BI_RGB
  Put32(s, imageSize);
  Put32(s, 3780);  // 96 dpi
  Put32(s, 3780);
  Put32(s, 0);
  Put32(s, 0);
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t rowStart = s.size();
    for (int x = 0; x < width; ++x) {
      const Colour c = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
      s.push_back(static_cast<char>((c >> 16) & 0xFF));  // blue
      s.push_back(static_cast<char>((c >> 8) & 0xFF));   // green
      s.push_back(static_cast<char>(c & 0xFF));          // red
    }
    s.append(stride - (s.size() - rowStart), '\0');
  }
  return s;
}

bool WriteBmp(const std::filesystem::path& file, int width, int height, std::span<const Colour> pixels) {
  const std::string bytes = EncodeBmp(width, height, pixels);
  if (bytes.empty()) return false;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

bool DecodeBmp(std::string_view b, BmpImage& image) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
  const std::uint32_t offset = Get(b, 10, 4);
  const std::uint32_t headerSize = Get(b, 14, 4);
  if (headerSize < 40 || 14 + static_cast<std::size_t>(headerSize) > b.size()) return false;
  const auto width = static_cast<std::int32_t>(Get(b, 18, 4));
  const auto rawHeight = static_cast<std::int32_t>(Get(b, 22, 4));
  const std::uint32_t planes = Get(b, 26, 2);
  const std::uint32_t bits = Get(b, 28, 2);
  const std::uint32_t compression = Get(b, 30, 4);
  if (planes != 1 || (bits != 24 && bits != 32)) return false;
  if (compression != 0 && !(compression == 3 && bits == 32)) return false;
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || width > 32768) return false;
  const bool topDown = rawHeight < 0;
  const int height = topDown ? -rawHeight : rawHeight;
  if (height > 32768) return false;
  if (compression == 3) {
    // Red, green and blue masks follow the 40 bytes of the basic header (also
    // inside the larger headers); only the usual layout is taken.
    if (b.size() < 66) return false;
    if (Get(b, 54, 4) != 0x00FF0000u || Get(b, 58, 4) != 0x0000FF00u || Get(b, 62, 4) != 0x000000FFu) return false;
  }
  const std::size_t bytesPerPixel = bits / 8;
  const std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~static_cast<std::size_t>(3);
  if (offset > b.size() || (b.size() - offset) / stride < static_cast<std::size_t>(height)) return false;
  BmpImage out;
  out.width = width;
  out.height = height;
  out.bitsPerPixel = static_cast<int>(bits);
  out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const int fileRow = topDown ? y : height - 1 - y;
    const std::size_t row = offset + static_cast<std::size_t>(fileRow) * stride;
    for (int x = 0; x < width; ++x) {
      const std::size_t p = row + static_cast<std::size_t>(x) * bytesPerPixel;
      const std::uint32_t blue = static_cast<unsigned char>(b[p]);
      const std::uint32_t green = static_cast<unsigned char>(b[p + 1]);
      const std::uint32_t red = static_cast<unsigned char>(b[p + 2]);
      const std::uint32_t alpha = bits == 32 ? static_cast<unsigned char>(b[p + 3]) : 0;
      out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
          red | (green << 8) | (blue << 16) | (alpha << 24);
    }
  }
  image = std::move(out);
  return true;
}

}  // namespace pd::soft
