// The parts of the dialogs port that do not depend on the backend: the
// filter list, mask matching and the record's output fields.
#include <algorithm>
#include <utility>

#include "platform/dialogs.h"
#include "platform/text.h"

namespace pd::platform {

std::vector<std::pair<String, String>> FilterPairs(StringView filter) {
  std::vector<std::pair<String, String>> pairs;
  std::size_t at = 0;
  auto next = [&](String& out) {
    if (at >= filter.size()) return false;
    const std::size_t end = filter.find(u'\0', at);
    out = String(filter.substr(at, end == StringView::npos ? StringView::npos : end - at));
    at = end == StringView::npos ? filter.size() : end + 1;
    return !out.empty();
  };
  String description, pattern;
  while (next(description) && next(pattern)) pairs.emplace_back(description, pattern);
  return pairs;
}

namespace {

// '*' and '?' over name[n...] and mask[m...], letters without case.
bool Match(StringView name, StringView mask) {
  std::size_t n = 0, m = 0;
  std::size_t starMask = StringView::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || text::LowerChar(mask[m]) == text::LowerChar(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == u'*') {
      starMask = m++;
      starName = n;
    } else if (starMask != StringView::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

StringView Trim(StringView s) {
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return s;
}

}  // namespace

bool MatchesPattern(StringView name, StringView pattern) {
  std::size_t at = 0;
  while (at <= pattern.size()) {
    const std::size_t end = std::min(pattern.find(u';', at), pattern.size());
    const StringView mask = Trim(pattern.substr(at, end - at));
    // "*.*" names every file, those without a dot too.
    if (!mask.empty() && (mask == u"*.*" || Match(name, mask))) return true;
    at = end + 1;
  }
  return false;
}

String SaveStartFolder(StringView initial, const std::function<bool(StringView)>& maySaveIn,
                       const std::function<String()>& documents) {
  if (initial.empty() || maySaveIn(initial)) return String(initial);
  String other = documents();
  return other.empty() ? String(initial) : other;
}

bool StoreChosenFile(OpenFileName& record, StringView path, StringView separators) {
  if (record.nMaxFile == 0 || path.size() > record.nMaxFile - 1) return false;
  record.lpstrFile = String(path);
  record.lpstrFile.resize(record.nMaxFile, u'\0');
  const std::size_t slash = path.find_last_of(separators);
  const std::size_t nameAt = slash == StringView::npos ? 0 : slash + 1;
  const StringView name = path.substr(nameAt);
  record.nFileOffset = static_cast<std::uint16_t>(nameAt);
  const std::size_t dot = name.rfind(u'.');
  record.nFileExtension = dot == StringView::npos ? 0 : static_cast<std::uint16_t>(nameAt + dot + 1);
  if (record.nMaxFileTitle > 0) {
    record.lpstrFileTitle = String(name.substr(0, record.nMaxFileTitle - 1));
    record.lpstrFileTitle.resize(record.nMaxFileTitle, u'\0');
  }
  return true;
}

}  // namespace pd::platform
