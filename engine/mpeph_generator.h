#pragma once
// The developer's generator of the perturbing-asteroid file "mpeph.dat": the
// seven asteroids of the store, from their elements in the minor-planet
// catalogue, integrated with the planets (no asteroids) to osculating
// elements at regular epochs. The work runs on the engine of the current
// orbit-determination object under its busy guard; the dialog that drives it
// supplies the log, the progress line and the save dialog.
#include <string>

#include "astro/mpeph_store.h"

class EngineWindow;
struct OrbitEngine;
class DetClass;

inline constexpr int kMpephGenAsteroids = kMpephMaxAsteroids;

// Labels in store order: "(1) Ceres" ... "(15) Eunomia".
extern const char* const kMpephAsteroidLabels[kMpephGenAsteroids];

// Catalogue elements of one asteroid; q <= 0 while not found.
struct MpephSlot {
  double epoch;  // osculation epoch, JD TT
  double T;      // perihelion time, JD TT
  double q;      // AU
  double e;
  double peri, node, incl;  // radians, J2000 ecliptic
};

// Fills the slots of the asteroids found in the catalogue file (each slot
// cleared first); stops once all seven are found. A line serves the first
// asteroid not yet found whose number "%05d" it starts with, when it is a
// catalogue line of an elliptic orbit. -1 when the file cannot be opened,
// else the number found.
int FindMpephAsteroids(const std::string& path, MpephSlot slots[kMpephGenAsteroids]);

// The table's span from the dialog's three fields (read as decimal numbers).
struct MpephSpan {
  double startYear = 0, endYear = 0, interval = 0;
  double jd0 = 0;  // 1 January of the start year
  int n = 0;       // intervals; the table has n + 1 epochs
};
// 0 when usable; else the refusal's text in message.
int ReadMpephSpan(const std::string& startYear, const std::string& endYear, const std::string& interval,
                  MpephSpan& span, std::string& message);

// What the integration reports as it goes: the log, the progress line, and
// the message window handed to the engine.
class MpephProgress {
public:
  virtual ~MpephProgress() = default;
  virtual void AppendLog(const std::string& text) = 0;
  // The progress line (one message pumped after it).
  virtual void ShowProgress(const std::string& text) = 0;
  virtual EngineWindow* MessageWindow() = 0;
};

// Integrates the found asteroids (those with q > 0; the others keep zero
// records) over the span into records (kMpephGenAsteroids x (n + 1),
// asteroid-major) with the engine as it is set (the caller chooses the
// asteroid set and holds the busy guard). Each asteroid runs backwards from
// the epoch nearest its osculation epoch to the first one, then forwards to
// the last one; a record within 12 days of the time reached keeps the
// elements reached. 0 done; -9 cancelled; -1 failed (said in the log).
int IntegrateMpephTable(OrbitEngine* engine, DetClass* det, const MpephSlot slots[kMpephGenAsteroids],
                        const MpephSpan& span, MpephRecord* records, MpephProgress& progress);

// The file's bytes: the 160-byte header, then the records.
std::string MpephFileBytes(const MpephSpan& span, const MpephSlot slots[kMpephGenAsteroids],
                           const MpephRecord* records);

// The dialog's side of a generator run.
class MpephGeneratorWindow : public MpephProgress {
public:
  virtual void ClearLog() = 0;
  // The file-save dialog for "mpeph.dat"; false when cancelled.
  virtual bool ChooseSaveFile(std::string& path) = 0;
  // The hidden edit handed to the engine, made before the work and
  // destroyed after it.
  virtual void CreateMessageWindow() = 0;
  virtual void DestroyMessageWindow() = 0;
};

enum MpephResult : int {
  kMpephWritten = 0,
  kMpephRefused = 1,      // said in a message box before the work
  kMpephNoFileChosen = 2,
  kMpephAborted = 3,      // busy engine, cancel, failed integration: no file
  kMpephWriteFailed = 4,  // the chosen file is left as it was
};

// The whole tool: fields, catalogue, save dialog, integration, file. The
// file is written to a temporary beside the chosen one and renamed over it,
// so a failed write leaves an existing file whole; an aborted run writes
// nothing. The engine's asteroid set and flags are restored however it ends.
int GenerateAsteroidEphemeris(MpephGeneratorWindow& window, const std::string& startYear,
                              const std::string& endYear, const std::string& interval);
