// Anchoring of the form's controls and the splitter between the tab area and
// the observation list.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "determination/det_form.h"
#include "determination/form_layout.h"
#include "engine/determination_host.h"

namespace {

LayoutRect Designed(int id)
{
  const DetFormControl* c = FindDetFormControl(id);
  return c ? LayoutRect{c->x, c->y, c->x + c->w, c->y + c->h} : LayoutRect{};
}

// The form as the view records it: its own children (the panes are pages of
// the tab control and not among them).
FormLayout BuildForm()
{
  std::vector<LayoutChild> children;
  for (const DetFormControl& c : DetFormControls())
    if (c.id != kIdResultEdit && c.id != kIdCalcLogEdit)
      children.push_back({c.id, {c.x, c.y, c.x + c.w, c.y + c.h}});
  FormLayout layout;
  layout.Build(children, 0, 0);
  return layout;
}

std::optional<LayoutRect> PlacedRect(const std::vector<LayoutPlacement>& placed, int id)
{
  for (const LayoutPlacement& p : placed)
    if (p.id == id)
      return p.rect;
  return std::nullopt;
}

LayoutRect Shift(LayoutRect r, int dx, int dy)
{
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

} // namespace

TEST(FormLayout, GrowthMovesAndStretchesEachControlByItsAnchor)
{
  FormLayout layout = BuildForm();
  ASSERT_FALSE(layout.Empty());
  const int w = layout.DesignedWidth(), h = layout.DesignedHeight();
  bool changed = false;
  const auto placed = layout.Apply(w + 100, h + 50, &changed);
  EXPECT_TRUE(changed);

  LayoutRect list = Designed(kIdObsList);
  list.right += 100;
  list.bottom += 50;
  EXPECT_EQ(PlacedRect(placed, kIdObsList), list);
  LayoutRect tabs = Designed(kIdTabs);
  tabs.right += 100;
  EXPECT_EQ(PlacedRect(placed, kIdTabs), tabs);
  LayoutRect approach = Shift(Designed(kIdApproachEdit), 100, 0);
  approach.bottom += 50;
  EXPECT_EQ(PlacedRect(placed, kIdApproachEdit), approach);
  EXPECT_EQ(PlacedRect(placed, kIdEphemerisButton), Shift(Designed(kIdEphemerisButton), 100, 50));
  EXPECT_EQ(PlacedRect(placed, kIdSignatureCheck), Shift(Designed(kIdSignatureCheck), 100, 50));
  EXPECT_EQ(PlacedRect(placed, kIdApproachBody), Shift(Designed(kIdApproachBody), 100, 0));
  // The settings column left of the list stays where it was designed.
  EXPECT_FALSE(PlacedRect(placed, kIdAutoImprove));
  EXPECT_FALSE(PlacedRect(placed, kIdEpochYear));

  // The same size again changes nothing that needs a full repaint.
  layout.Apply(w + 100, h + 50, &changed);
  EXPECT_FALSE(changed);
}

TEST(FormLayout, AFrameSmallerThanDesignedKeepsTheDesignedPlacesButTheSplitter)
{
  FormLayout layout = BuildForm();
  layout.SetSplitOffset(-20);
  const auto placed = layout.Apply(300, 200);
  EXPECT_EQ(PlacedRect(placed, kIdApproachEdit), Designed(kIdApproachEdit));
  LayoutRect list = Designed(kIdObsList);
  list.top -= 20;
  EXPECT_EQ(PlacedRect(placed, kIdObsList), list);
  LayoutRect tabs = Designed(kIdTabs);
  tabs.bottom -= 20;
  EXPECT_EQ(PlacedRect(placed, kIdTabs), tabs);
  EXPECT_EQ(PlacedRect(placed, kIdSplitterLine), Shift(Designed(kIdSplitterLine), 0, -20));
}

TEST(FormLayout, TheSplitterStopsWhereEitherSideWouldBeLowerThan60Pixels)
{
  FormLayout layout = BuildForm();
  const int w = layout.DesignedWidth(), h = layout.DesignedHeight();
  layout.Apply(w, h + 40);
  const LayoutRect line = layout.SplitterHitArea();
  const int x = line.left + 10, y = (line.top + line.bottom) / 2;

  ASSERT_TRUE(layout.BeginDrag(x, y));
  EXPECT_TRUE(layout.DragTo(y - 5000));
  auto placed = layout.Apply(w, h + 40);
  EXPECT_EQ(PlacedRect(placed, kIdTabs)->Height(), 60);
  EXPECT_EQ(layout.EndDrag(), layout.SplitOffset());

  ASSERT_TRUE(layout.BeginDrag(x, layout.SplitterHitArea().top + 3));
  layout.DragTo(y + 5000);
  placed = layout.Apply(w, h + 40);
  EXPECT_EQ(PlacedRect(placed, kIdObsList)->Height(), 60);
  const int stored = layout.EndDrag();
  EXPECT_EQ(stored, Designed(kIdObsList).Height() + 40 - 60);

  // A press and release without moving keeps the offset.
  const LayoutRect hit = layout.SplitterHitArea();
  ASSERT_TRUE(layout.BeginDrag(x, hit.top));
  EXPECT_FALSE(layout.DragTo(hit.top));
  EXPECT_EQ(layout.EndDrag(), stored);
  // Outside the grip nothing starts.
  EXPECT_FALSE(layout.BeginDrag(x, hit.top - 1));
  EXPECT_FALSE(layout.BeginDrag(x, hit.bottom));
}

TEST(FormLayout, AStoredOffsetFarOutsideIsClampedOnTheFirstPass)
{
  FormLayout layout = BuildForm();
  layout.SetSplitOffset(100000);
  layout.Apply(layout.DesignedWidth(), layout.DesignedHeight());
  EXPECT_EQ(layout.SplitOffset(), Designed(kIdObsList).Height() - 60);
  layout.SetSplitOffset(-100000);
  layout.Apply(layout.DesignedWidth(), layout.DesignedHeight());
  EXPECT_EQ(layout.SplitOffset(), 60 - Designed(kIdTabs).Height());
  // With tabs drawn inside the control the 60 pixels are below them.
  layout.SetTabChromeHeight(40);
  layout.SetSplitOffset(-100000);
  layout.Apply(layout.DesignedWidth(), layout.DesignedHeight());
  EXPECT_EQ(layout.SplitOffset(), 100 - Designed(kIdTabs).Height());
}

TEST(FormLayout, OtherControlsRightOfTheListFollowTheirPlace)
{
  // A list, a control under it, a tall one beside it, a short one beside it
  // and one left of it, on a form of 400 x 300.
  const LayoutChild children[] = {
      {kIdObsList, {100, 10, 300, 200}},  // 0
      {0, {150, 210, 200, 230}},          // 1: under the list
      {0, {310, 10, 390, 200}},           // 2: taller than 3/5 of the form
      {0, {310, 10, 390, 100}},           // 3: shorter
      {0, {10, 10, 90, 290}},             // 4: left of the list
  };
  FormLayout layout;
  layout.Build(children, 400, 300);
  ASSERT_EQ(layout.Entries().size(), 5u);
  EXPECT_EQ(layout.Entries()[0].flags, kStretchRight | kStretchDown);
  EXPECT_EQ(layout.Entries()[1].flags, kMoveDown);
  EXPECT_EQ(layout.Entries()[2].flags, kStretchDown);
  EXPECT_EQ(layout.Entries()[3].flags, 0);
  EXPECT_EQ(layout.Entries()[4].flags, 0);
  // The designed size is raised to the children's extent + 8.
  layout.Build(children, 100, 100);
  EXPECT_EQ(layout.DesignedWidth(), 398);
  EXPECT_EQ(layout.DesignedHeight(), 298);
}

TEST(FormLayout, AnEmptyFormPlacesNothing)
{
  FormLayout layout;
  layout.Build({}, 0, 0);
  EXPECT_TRUE(layout.Empty());
  EXPECT_TRUE(layout.Apply(800, 600).empty());
  EXPECT_EQ(layout.ClampSplitOffset(50), 0);
  EXPECT_FALSE(layout.BeginDrag(0, 0));
}
