#pragma once
// The path near the Earth of a scanned object's nominal orbit or closest
// clone, shown in the orbit diagram's geocentric scene (buttons 1530, 1531).

inline constexpr const char* kGeoOrbitCaption = "地心軌道の表示";

// The range row (0..6) the diagram must take so that a pass at distance
// (AU) is recorded: the smallest radius not below 1.5 × distance, else the
// largest; -1 when the current radius already suffices or is that row's.
int GeoTrackRangeRowFor(double distance, double currentRadius);
