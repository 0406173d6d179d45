#include "determination/form_layout.h"

#include <algorithm>

#include "determination/det_form.h"
#include "engine/determination_host.h"

namespace {

// Anchors the form gives by control.
struct FixedAnchor {
  int id;
  int flags;
};
constexpr FixedAnchor kFixedAnchors[] = {
    {kIdApproachBody, kMoveRight},
    {kIdExtendedCheck, kMoveRight},
    {kIdApproachEdit, kMoveRight | kStretchDown},
    {kIdEphemerisButton, kMoveRight | kMoveDown},
    {kIdSignatureCheck, kMoveRight | kMoveDown},
    {kIdObsList, kStretchRight | kStretchDown},
    {kIdTabs, kStretchRight},
    {kIdResultEdit, kStretchRight},
    {kIdCalcLogEdit, kStretchRight},
    {kIdSplitterLine, kStretchRight},
};

bool IsPane(int id) { return id == kIdResultEdit || id == kIdCalcLogEdit; }

}  // namespace

void FormLayout::Build(std::span<const LayoutChild> children, int formWidth, int formHeight) {
  m_entries.clear();
  m_lastDx = m_lastDy = 0;
  for (const LayoutChild& c : children) {
    if (m_entries.size() >= kMaxEntries) break;
    m_entries.push_back({c.id, c.rect, 0});
  }
  m_designedWidth = formWidth;
  m_designedHeight = formHeight;
  for (const LayoutEntry& e : m_entries) {
    m_designedWidth = std::max(m_designedWidth, e.rect.right + 8);
    m_designedHeight = std::max(m_designedHeight, e.rect.bottom + 8);
  }
  if (m_designedWidth < 1 || m_designedHeight < 1) {
    m_entries.clear();
    return;
  }
  const LayoutEntry* list = Find(kIdObsList);
  const LayoutRect listRect = list ? list->rect : LayoutRect{};
  for (LayoutEntry& e : m_entries) {
    const auto fixed = std::find_if(std::begin(kFixedAnchors), std::end(kFixedAnchors),
                                    [&](const FixedAnchor& a) { return e.id != 0 && a.id == e.id; });
    if (fixed != std::end(kFixedAnchors)) {
      e.flags = fixed->flags;
    } else if (list && e.rect.right > listRect.left) {
      if (e.rect.top >= listRect.bottom)
        e.flags = kMoveDown;
      else if (e.rect.Height() > m_designedHeight * 3 / 5)
        e.flags = kStretchDown;
    }
  }
}

const LayoutEntry* FormLayout::Find(int id) const {
  for (const LayoutEntry& e : m_entries)
    if (e.id == id) return &e;
  return nullptr;
}

int FormLayout::ClampSplitOffset(int offset) const {
  const LayoutEntry* tab = Find(kIdTabs);
  const LayoutEntry* list = Find(kIdObsList);
  if (!tab || !list || tab->rect.Empty() || list->rect.Empty()) return 0;
  const int largest = std::max(0, list->rect.bottom + m_lastDy - list->rect.top - kMinPaneHeight);
  const int smallest = std::min(0, tab->rect.top + kMinPaneHeight + m_nTabChrome - tab->rect.bottom);
  return std::min(std::max(offset, smallest), largest);
}

LayoutRect FormLayout::Placed(const LayoutEntry& e) const {
  LayoutRect r = e.rect;
  if (e.flags & kMoveRight) {
    r.left += m_lastDx;
    r.right += m_lastDx;
  }
  if (e.flags & kStretchRight) r.right += m_lastDx;
  if (e.flags & kMoveDown) {
    r.top += m_lastDy;
    r.bottom += m_lastDy;
  }
  if (e.flags & kStretchDown) r.bottom += m_lastDy;
  if (e.id == kIdObsList) r.top += m_nSplitOffset;
  if (e.id == kIdTabs) r.bottom += m_nSplitOffset;
  if (e.id == kIdSplitterLine) {
    r.top += m_nSplitOffset;
    r.bottom += m_nSplitOffset;
  }
  return r;
}

std::vector<LayoutPlacement> FormLayout::Apply(int width, int height, bool* growthChanged) {
  std::vector<LayoutPlacement> placed;
  if (growthChanged) *growthChanged = false;
  if (m_entries.empty() || m_designedWidth <= 0 || m_designedHeight <= 0) return placed;
  const int dx = std::max(0, width - m_designedWidth);
  const int dy = std::max(0, height - m_designedHeight);
  if (growthChanged) *growthChanged = dx != m_lastDx || dy != m_lastDy;
  m_lastDx = dx;
  m_lastDy = dy;
  m_nSplitOffset = ClampSplitOffset(m_nSplitOffset);
  for (size_t i = 0; i < m_entries.size(); ++i) {
    const LayoutEntry& e = m_entries[i];
    const bool split = e.id == kIdObsList || e.id == kIdTabs || e.id == kIdSplitterLine;
    if (IsPane(e.id) || (e.flags == 0 && !split)) continue;
    placed.push_back({static_cast<int>(i), e.id, Placed(e)});
  }
  return placed;
}

LayoutRect FormLayout::SplitterHitArea() const {
  const LayoutEntry* line = Find(kIdSplitterLine);
  if (!line) return {};
  LayoutRect r = Placed(*line);
  r.top -= kSplitterGrip;
  r.bottom += kSplitterGrip;
  return r;
}

bool FormLayout::BeginDrag(int x, int y) {
  const LayoutRect hit = SplitterHitArea();
  if (hit.Empty() || x < hit.left || x >= hit.right || y < hit.top || y >= hit.bottom) return false;
  m_bSplitDragging = true;
  m_nSplitDragStartY = y;
  m_nSplitDragStartOffset = m_nSplitOffset;
  return true;
}

bool FormLayout::DragTo(int y) {
  if (!m_bSplitDragging) return false;
  const int offset = ClampSplitOffset(m_nSplitDragStartOffset + (y - m_nSplitDragStartY));
  if (offset == m_nSplitOffset) return false;
  m_nSplitOffset = offset;
  return true;
}

int FormLayout::EndDrag() {
  m_bSplitDragging = false;
  return m_nSplitOffset;
}
