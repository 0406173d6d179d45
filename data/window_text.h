#pragma once
// Japanese text wrapped to a width, without a window: the line breaking that
// the help canvases draw with (CTessaruneLib::DrawWrappedText in
// data/ui/window_routines.h). The caller supplies the text measurer, so the
// rules are the same on screen and in tests.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Width in pixels of a run of text (UTF-8) in the current font.
using TextMeasurer = std::function<int(std::string_view utf8)>;

// One line of the layout.
struct WrappedLine {
  std::string text;  // UTF-8, as drawn (a blank before a word break stays on the line)
  int width;         // pixels, from the measurer
  int y;             // pixels below the first line's top
};

// Line height for a font of height fontHeight with its external leading:
// h + (2h + 9) / 10 + leading, integer division.
int WrappedLineHeight(int fontHeight, int externalLeading);

// Characters that never begin a line.
bool IsLineStartProhibited(char32_t c);

// Breaks text at width pixels. Carriage returns are dropped; each line feed
// ends a paragraph (a final one makes one more, empty paragraph) and an empty
// paragraph takes one line height. Each line takes the longest run that fits
// (at least one character); a break between two letters or digits moves back
// to after the last blank of the line when there is one; up to two
// line-start-prohibited characters are pulled onto the line even beyond the
// width; blanks after a break are skipped. lines (when not null) receives the
// lines; the result is the height the text takes.
int LayoutWrappedText(std::string_view text, int width, int lineHeight, const TextMeasurer& measure,
                      std::vector<WrappedLine>* lines);
