#pragma once
// The ephemeris table's approach to the Earth: the rows fed to an Earth
// impact tracker, the approach shown on the globe, and the planetary-file
// span the table needs.
#include <string>

#include "astro/ephemeris_rows.h"
#include "astro/impact_tracker.h"
#include "engine/tool_sinks.h"

// Feeds rows[0 .. count-1] in time order (geocentric place from Δ, α, δ)
// until the tracker reports a hit, then ends its run.
void FeedEarthTracker(const EphemerisRow* rows, long count, ImpactTracker& earth);
// Opens the globe on the Earth with the orbit, clears the overlays of other
// sources, and shows the tracker's path, lighting and impact marker.
void ShowEarthApproach(const ImpactTracker& earth, const DisplayOrbit& orbit);
// Empty when the planetary file covers [fromJd, toJd] (TT); else why the
// table (what: "位置推算表", "彗星一覧") cannot be made, with the file's span.
std::string PlanetaryFileRefusal(double fromJd, double toJd, const std::string& what = "位置推算表");
