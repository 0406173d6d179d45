#include "views/polyline_thinning.h"

#include <algorithm>

namespace {

constexpr size_t kMaxLeftOut = 32;  // bounds the work per point

}  // namespace

float SegmentDistance2(ScenePoint p, ScenePoint a, ScenePoint b) {
  const float dx = b.x - a.x, dy = b.y - a.y;
  const float len2 = dx * dx + dy * dy;
  float u = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  u = std::clamp(u, 0.0f, 1.0f);
  const float ex = a.x + u * dx - p.x, ey = a.y + u * dy - p.y;
  return ex * ex + ey * ey;
}

std::vector<ScenePoint> ThinPolyline(const std::vector<ScenePoint>& pts, float tol) {
  if (pts.size() <= 2) return pts;
  const float tol2 = tol * tol;
  std::vector<ScenePoint> out{pts[0]};
  size_t anchor = 0;
  for (size_t i = 1; i + 1 < pts.size(); ++i) {
    bool bCovered = i - anchor <= kMaxLeftOut;
    for (size_t k = anchor + 1; bCovered && k <= i; ++k)
      bCovered = SegmentDistance2(pts[k], pts[anchor], pts[i + 1]) <= tol2;
    if (!bCovered) {
      out.push_back(pts[i]);
      anchor = i;
    }
  }
  out.push_back(pts.back());
  return out;
}
