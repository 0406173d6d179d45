#pragma once
// Close approaches of the integrated object to the fifteen perturbing bodies:
// slots 0-9 in BodyIndex order, 10-14 the members of the run's perturber set.
#include <string>

inline constexpr int kApproachSlots = 15;
inline constexpr int kApproachMinima = 1000;
inline constexpr double kNoApproachDistance = 99999999.9;  // AU: no sample

struct ApproachSample {
  double time;      // Julian day (TT); 0 = no sample
  double distance;  // AU; kNoApproachDistance = none
  double aux;       // track rows: the graph's drawn x position (-1 = not drawn); else carried along
};

using ApproachTrackRow = ApproachSample[kApproachSlots];

class CloseApproachRecord {
public:
  CloseApproachRecord() = default;
  ~CloseApproachRecord();
  CloseApproachRecord(const CloseApproachRecord&) = delete;
  CloseApproachRecord& operator=(const CloseApproachRecord&) = delete;

  // Prepares the window, the track and the minima for a run from t0 to t1
  // with step h (days). A record prepared again keeps its buffers when they
  // are large enough and clears them. The graph lets go of the old track.
  CloseApproachRecord* Init(double t0, double t1, double h);
  // The approach graph stops showing this record's track (as when the record goes).
  void LeaveGraph();
  // Empties closest, latest, previous and the minima (not the track).
  void Reset();
  // One sample of the distance d (AU) from body slot at time t (TT).
  void Update(int slot, double t, double d);

  ApproachSample closest[kApproachSlots];
  ApproachSample latest[kApproachSlots];
  ApproachSample previous[kApproachSlots];
  ApproachSample* minima = nullptr;    // kApproachSlots x kApproachMinima, by increasing distance
  ApproachTrackRow* track = nullptr;   // m_nTrackRows rows
  int m_nTrackRows = 0;
  double m_dTrackStep = 0;             // days
  double m_dWindowStart = 0;           // JD TT
  double m_dWindowEnd = 0;             // JD TT
  double m_dStep = 0;                  // the run's step h; its sign is the direction

  const ApproachSample* Minima(int slot) const { return minima ? minima + slot * kApproachMinima : nullptr; }

private:
  void ResetSlot(int slot);
  void InsertMinimum(int slot, const ApproachSample& s);

  int m_nTrackCapacity = 0;     // rows allocated for track
  double m_dRowTime = 0;        // time of the last track row worked out (0 = none) ...
  int m_nRow = -1;              // ... and that row (-1 = outside the track)
};

// Name of a body slot as the approach list writes it: slots 0-9 padded to
// the width of three kanji, 10-14 the names of the members of asteroidSet.
std::string ApproachSlotName(int slot, int asteroidSet);

// The approach list: body 99 lists the closest approach of every slot below
// count, 0 <= body < count that slot's minima (or its closest approach);
// decimals 0-3 of the day. "" for body -1 or for body 99 without any approach.
// Returns false (text untouched) when count is outside 10..15.
bool FormatCloseApproaches(const CloseApproachRecord& record, int body, int count, int decimals, int asteroidSet,
                           std::string& text);
