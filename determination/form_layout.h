#pragma once
// Anchoring of the orbit-determination form: when the frame grows, the tab
// area and the observation list stretch, the controls of the right column
// move with the right edge and those under the list move down; the line
// between the tab area and the list is a splitter whose offset is kept in
// the settings ("OBSSPLIT"). Window-free: the view feeds it the children's
// designed rectangles and places its widgets from the rectangles it returns.
#include <span>
#include <vector>

struct LayoutRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const LayoutRect&) const = default;
};

// Anchor flags of an entry.
enum LayoutAnchor : int { kMoveRight = 1, kStretchRight = 2, kMoveDown = 4, kStretchDown = 8 };

struct LayoutChild {
  int id;           // control id (0 for one no rule names)
  LayoutRect rect;  // client coordinates as designed
};

struct LayoutEntry {
  int id;
  LayoutRect rect;  // designed
  int flags;
};

struct LayoutPlacement {
  int index;  // entry index (the child's index in the list given to Build)
  int id;
  LayoutRect rect;
};

class FormLayout {
public:
  static constexpr int kMaxEntries = 128;
  static constexpr int kMinPaneHeight = 60;  // the tab area and the list keep this much
  static constexpr int kSplitterGrip = 3;    // pixels above and below the line that grab it

  // Records the children in z-order (at most 128) and assigns their anchors;
  // the designed size is the form's, raised to the children's extent + 8.
  // An empty or degenerate form leaves the table empty.
  void Build(std::span<const LayoutChild> children, int formWidth, int formHeight);
  bool Empty() const { return m_entries.empty(); }
  const std::vector<LayoutEntry>& Entries() const { return m_entries; }
  int DesignedWidth() const { return m_designedWidth; }
  int DesignedHeight() const { return m_designedHeight; }

  // One layout pass for a client area of width x height: the rectangles of
  // every control the pass places (not the tab panes, not the fixed ones).
  // growthChanged: the growth differs from the last pass (repaint all).
  std::vector<LayoutPlacement> Apply(int width, int height, bool* growthChanged = nullptr);

  // The offset within the range that keeps both the tab area and the list
  // at least 60 pixels high (0 without either control).
  int ClampSplitOffset(int offset) const;
  int SplitOffset() const { return m_nSplitOffset; }
  // Height of the tab control's own parts (its row of tabs and frame): the
  // tab area keeps 60 pixels of page below them. 0 by default.
  void SetTabChromeHeight(int pixels) { m_nTabChrome = pixels > 0 ? pixels : 0; }
  void SetSplitOffset(int offset) { m_nSplitOffset = offset; }

  // ---- the splitter ----
  // The line's current rectangle grown by the grip; empty without a table.
  LayoutRect SplitterHitArea() const;
  bool IsDragging() const { return m_bSplitDragging; }
  // Starts a drag when y (and x) lie in the hit area.
  bool BeginDrag(int x, int y);
  // New offset for the pointer at y; true when it changed (then run Apply).
  bool DragTo(int y);
  // Ends the drag; the offset to store.
  int EndDrag();

private:
  const LayoutEntry* Find(int id) const;
  LayoutRect Placed(const LayoutEntry& e) const;

  std::vector<LayoutEntry> m_entries;
  int m_designedWidth = 0, m_designedHeight = 0;
  int m_lastDx = 0, m_lastDy = 0;
  int m_nSplitOffset = 0;
  int m_nTabChrome = 0;
  bool m_bSplitDragging = false;
  int m_nSplitDragStartY = 0;
  int m_nSplitDragStartOffset = 0;
};
