#pragma once
// Moving the elements of an integration state to its end time, with the
// report of the run: status, step log, the handling of an impact that
// stopped the run, an optional round trip that estimates the integration
// error, the close-approach list, after-the-fact notes on passes below or
// near the surface of the planets and the Moon, the impact reports of the
// attached trackers, and the approach path on the globe.
#include <string>

#include "engine/integration_state.h"

struct OrbitEngine;
class EngineWindow;
class GlobeSink;
class ImpactTracker;

// Round trip asked for (the forecast dialog's "積分誤差を計算する(計算時間が2倍必要)").
inline constexpr int kMoveRoundTrip = 1;
// All perturbers in the approach list.
inline constexpr int kApproachAllBodies = 99;

// The state comes prepared by SetupIntegrationState with the attachments the
// caller wants (CloseApproachRecord, ImpactTrackerSet, GeoTrackBuffer).
// result, progress, status and approachEdit may be null. The round trip runs
// inside the busy guard and can be cancelled; the state leaves with the whole
// element block of the end time (or of the impact handling), its windows
// detached, its attachments as the caller made them.
// 0 end time reached; 4 stopped by an impact of the attached trackers; -1
// busy (nothing done) or integration failed; -2 planetary file unreadable;
// -9 cancelled; another code of IntegrateOrbit is reported as 0 is, without
// status text or round trip.
int MoveEpochAndReport(OrbitEngine* engine, EngineWindow* result, IntegrationState* state, EngineWindow* progress,
                       EngineWindow* status, EngineWindow* approachEdit, int approachBody, int roundTrip);

// The error block of a round trip: start and return elements (epoch, T, q, e,
// peri, node, incl; angle differences reduced into (-π, π] and in arcsec).
std::string FormatRoundTripBlock(const ElementBlock& start, double startEpoch, const ElementBlock& back,
                                 double backEpoch);

// After-the-fact notes of the run's closest passes within three radii of
// the bodies with a collision radius (never the Earth, which the trackers
// watch): "【接近】" above the surface, "【惑星衝突(事後判定)】" below it
// unless the run's collision detection already reported that body.
std::string FormatSurfaceNotes(const IntegrationState* state);

// The tracker's approach on the globe: its track points, the sub-solar and
// apex points, for a body other than the Earth the sub-Earth point, and when
// it hit the red "Impact" marker. The caller has set the body and emptied the path.
void ShowTrackerOnGlobe(GlobeSink& globe, const ImpactTracker& t);
