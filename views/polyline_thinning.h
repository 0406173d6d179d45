#pragma once
// Fewer points for the same picture: long tracks put many points into each
// pixel, and the stroker's time goes with the points.
#include <vector>

#include "views/scene_canvas.h"

// The points of a polyline that draw it within tol pixels: a point is left
// out when it and the points left out before it lie within tol of the
// segment from the last point kept to the next point. The first and the
// last point always stay, and at most 32 in a row are left out.
std::vector<ScenePoint> ThinPolyline(const std::vector<ScenePoint>& pts, float tol);

// Squared distance of p from the segment a-b.
float SegmentDistance2(ScenePoint p, ScenePoint a, ScenePoint b);
