#include "controls/CaptionLayout.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pd::controls {
namespace {

std::vector<StringView> SplitAtSpaces(StringView text) {
  std::vector<StringView> words;
  std::size_t start = 0;
  for (std::size_t at = text.find(u' '); at != StringView::npos; at = text.find(u' ', start)) {
    words.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  words.push_back(text.substr(start));
  return words;
}

class Wrapper {
 public:
  Wrapper(int max, const MeasureWidth& width) : max_(max), width_(width) {}

  String Wrap(StringView text) {
    const std::vector<StringView> words = SplitAtSpaces(text);
    if (words.size() == 1) {
      Pieces(words.front());
      return std::move(result_);
    }
    for (std::size_t i = 0; i < words.size();) {
      const StringView word = words[i];
      if (width_(word) > max_) {
        if (!line_.empty()) Flush();
        Pieces(word);
        ++i;
      } else if (line_.empty()) {
        line_ = String(word);
        ++i;
      } else {
        String joined = line_ + u' ';
        joined += word;
        if (width_(joined) > max_) {
          Flush();  // and the same word again, on the empty line
        } else {
          line_ = std::move(joined);
          ++i;
        }
      }
    }
    if (!line_.empty()) Flush();
    return std::move(result_);
  }

 private:
  void Flush() {
    if (!result_.empty()) result_ += u"\r\n";
    result_ += line_;
    line_.clear();
  }

  // Cuts a word after the longest prefix that fits, again and again; the
  // last piece ends its line. A character wider than max stands alone.
  void Pieces(StringView word) {
    for (std::size_t pos = 0; pos <= word.size(); ++pos) {
      const bool end = pos == word.size();
      if (end || width_(line_ + word[pos]) > max_) {
        if (!line_.empty()) Flush();
      }
      if (!end) line_ += word[pos];
    }
  }

  int max_;
  const MeasureWidth& width_;
  String result_;
  String line_;
};

std::uint8_t Channel(Colour c, int shift) { return static_cast<std::uint8_t>((c >> shift) & 0xFF); }

}  // namespace

int RoundHalfEven(double v) { return static_cast<int>(std::nearbyint(v)); }

String WrapCaption(StringView text, int max, const MeasureWidth& width) {
  if (width(text) <= max) return String(text);
  return Wrapper(max, width).Wrap(text);
}

String WrapCaption(platform::Surface& surface, StringView text, int max) {
  const MeasureWidth width = [&surface](StringView s) { return surface.TextWidth(s); };
  return WrapCaption(text, max, width);
}

CaptionPlacement PlaceCaption(platform::Surface& surface, int width, int height, StringView caption,
                              std::int32_t alignPicture, int iconWidth, int iconHeight) {
  const MeasureWidth textWidth = [&surface](StringView s) { return surface.TextWidth(s); };
  const MeasureWidth textHeight = [&surface](StringView s) { return surface.TextHeight(s); };
  return PlaceCaption(textWidth, textHeight, width, height, caption, alignPicture, iconWidth, iconHeight);
}

CaptionPlacement PlaceCaption(const MeasureWidth& textWidth, const MeasureWidth& textHeight, int width, int height,
                              StringView caption, std::int32_t alignPicture, int iconWidth, int iconHeight) {
  const bool hasIcon = iconWidth > 0 && iconHeight > 0;
  CaptionPlacement p;
  p.icon = Point{(width - iconWidth) / 2, (height - iconHeight) / 2};
  const bool beside = hasIcon && (alignPicture == 0 || alignPicture == 1);
  p.text = WrapCaption(caption, beside ? width - iconWidth - 10 : width - 10, textWidth);
  const int th = textHeight(p.text);
  p.textRect = Rect{5, (height - th) / 2, width - 5, height - 3};
  if (caption.empty() || !hasIcon) return p;

  const int tw = textWidth(p.text);
  const int u = (width - (tw + iconWidth + 3)) / 2;
  const int v = (height - (th + iconHeight + 3)) / 2;
  const int a = alignPicture;
  if (a == 0 || a == 1) {
    p.icon.x = tw * a + u + 3 * a;
    p.textRect.left = u - (a - 1) * iconWidth - (a - 1) * 3;
    p.textRect.right = p.textRect.left + tw;
  } else if (a == 2 || a == 3) {
    const int e = a - 2;
    p.icon.y = e * th + v + 3 * e;
    p.textRect.top = v - (e - 1) * iconHeight - (e - 1) * 3;
  }
  return p;
}

std::uint8_t BlendChannel(std::uint8_t b, std::uint8_t f, std::uint8_t a) {
  if (a == 0) return b;
  if (a == 255) return f;
  const double v = (255.0 - a) * b / 255.0 + static_cast<double>(f) * a / 255.0;
  return static_cast<std::uint8_t>(std::clamp(RoundHalfEven(v), 0, 255));
}

void BlendPicture(platform::Surface& surface, int x, int y, int width, int height, const platform::Picture& picture,
                  int srcX, int srcY, unsigned flags, Colour key, int opacity) {
  if (width <= 0 || height <= 0) return;
  const int pw = picture.Width();
  const int ph = picture.Height();
  const bool hasAlpha = picture.BitsPerPixel() == 32;
  const std::vector<std::uint32_t> icon = picture.Pixels();
  const Rect dst{x, y, x + width, y + height};
  std::vector<Colour> back = surface.ReadPixels(dst);
  const int o = opacity > 0 ? std::min(opacity, 255) : 255;
  for (int j = 0; j < height; ++j) {
    const int sy = srcY + j;
    if (sy < 0 || sy >= ph) continue;
    for (int i = 0; i < width; ++i) {
      const int sx = srcX + i;
      if (sx < 0 || sx >= pw) continue;
      const std::uint32_t px = icon[static_cast<std::size_t>(sy * pw + sx)];
      if ((flags & blend::kKeyColour) != 0 && (px & 0xFFFFFF) == (key & 0xFFFFFF)) continue;
      std::uint8_t r = Channel(px, 0);
      std::uint8_t g = Channel(px, 8);
      std::uint8_t b = Channel(px, 16);
      int alpha = hasAlpha ? Channel(px, 24) : 255;
      if ((flags & blend::kGrey) != 0) {
        const auto grey = static_cast<std::uint8_t>(std::min(255, RoundHalfEven((b + g + r) / 3.0 + 30)));
        r = g = b = grey;
      }
      if ((flags & blend::kOpacity) != 0) alpha = RoundHalfEven(o * alpha / 255.0);
      const auto a = static_cast<std::uint8_t>(alpha);
      Colour& out = back[static_cast<std::size_t>(j * width + i)];
      out = Colour{BlendChannel(Channel(out, 0), r, a)} | (Colour{BlendChannel(Channel(out, 8), g, a)} << 8) |
            (Colour{BlendChannel(Channel(out, 16), b, a)} << 16);
    }
  }
  surface.WritePixels(dst, back);
}

}  // namespace pd::controls
