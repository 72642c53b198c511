// ListItem: one row of an XP_ListBox.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "controls/MarkupParser.h"
#include "controls/TextRun.h"
#include "platform/surface.h"

namespace pd::controls {

struct ListItem {
  String ItemText;   // as the host stored it, markup included
  String PlainText;  // the runs' texts: tags removed, <br> as CR LF; measured for the row's text height
  std::shared_ptr<const platform::Picture> Picture;  // drawn in Style 1
  bool Selected = false;
  bool Checked = false;
  bool Enabled = true;
  String ItemData;  // free text for the host
  std::vector<TextRun> Runs;

  [[nodiscard]] std::int32_t RunCount() const { return static_cast<std::int32_t>(Runs.size()); }

  // Stores a text with its parsed runs and plain text; with markup false the
  // text is shown as it is (PlainMarkup). The text may be a view of this
  // item's own strings, so it is copied before any is replaced.
  void SetText(StringView text, bool markup = true) {
    String own(text);
    Runs = ParseItemText(markup ? StringView(own) : StringView(PlainMarkup(own)));
    PlainText = PlainTextOf(Runs);
    ItemText = std::move(own);
  }
};

}  // namespace pd::controls
