#pragma once
// The improvement epoch through the orbit-determination view's three Epoch
// fields (year, month, day; an empty field means the element epoch). The
// view rounds a typed epoch to half a day before each improvement call, and
// the improvement step reads the fields back, inside the planetary file's
// span less 40 days at each end, into the run's epoch.
#include <string>

struct IntegrationState;
struct OrbitEngine;
class CDetermination;
class FitObserver;

// Days kept clear of each end of the planetary file's span.
inline constexpr double kEpochSpanMarginDays = 40.0;

// With the Epoch-field option on: m_dFieldEpoch = the element epoch when
// jdTT lies within 0.05 day of it, else jdTT rounded to the nearest half day
// (a calculation-log line says so when that moved it by more than 1e-6 day).
// Nothing when the option is off.
void RoundFieldEpoch(CDetermination* view, double jdTT);
// The same for a run: the line goes to the observer's calculation log.
void RoundFieldEpoch(OrbitEngine* engine, FitObserver& observer, double jdTT);

// The run's epoch E from the Epoch fields: the element epoch when a field is
// empty or the date lies outside the allowed span (a calculation-log line
// then says so); otherwise the typed date, which also becomes the element
// epoch. Sets the state's start epoch, first and last observation times
// (the Apophis-mode span when that mode is on), direction (-1 when E is after
// the last observation) and mode 'N', and rewrites the fields from E.
void CheckEpochFieldRange(CDetermination* view, IntegrationState* state);

// "%d/%d/%d" of a Julian day: the whole-day dates of the span notes, the
// pick log and the approach graph's axis.
std::string WholeDayText(double jd);
// "%d/%d/%.1f" of a Julian day: the date form of the epoch notes.
std::string EpochDateText(double jd);
// The last point of the 40-day epoch grid (40 n + 0.5) at or before jdTT.
double GridAtOrBefore(double jdTT);

// Writes jdTT into the Epoch fields: year "%d", month "%d", day "%.1f".
void WriteEpochFields(CDetermination* view, double jdTT);
// The three texts WriteEpochFields writes.
void EpochFieldTexts(double jdTT, std::string& year, std::string& month, std::string& day);
// The epoch (JD TT) of the three field texts; 0 when one is not a number.
double EpochOfFieldTexts(const std::string& year, const std::string& month, const std::string& day);
// The epoch the fields give back after WriteEpochFields(jdTT): the day
// rounded to a tenth, as the improvement will read it.
double EpochAsWrittenToFields(double jdTT);
