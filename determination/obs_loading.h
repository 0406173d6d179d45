#pragma once
// Bringing observations into the orbit-determination view: reading a file
// (duplicates flagged, sorted by time, comet or asteroid guessed, an epoch
// proposed, short arcs given small variation amounts), fetching an object's
// observations from the Minor Planet Center first, and starting again on the
// loaded observations. Window-free: the view's controls are reached through
// the host.
#include <string>

#include "data/observation_record.h"

class CDeterminationDisplay;
struct HttpTimeouts;

// The reader's result codes as the view reports them.
std::string ObsReadFailureMessage(int code);

// Marks every observation that a later one repeats (same 12 designation
// columns, station and UTC time) as duplicate, rejected and rejected by hand;
// the number of repeating pairs.
int MarkDuplicateObservations(ObservationRecord* obs, int count);

// True for a readable comet designation ("C/2023 A3", "12P", "12P/Name",
// "A/2017 U1"); letter gets its letter (A, C, D, I, P or X).
bool IsCometDesignationText(const std::string& text, char* letter);

// JD of the proposed epoch: the grid point (step days, 40 on loading and 20
// on redo) above the last TT, at 0.5.
double ProposedEpochJd(double lastTt, double gridDays);

// Reads the file into the view. On a read failure the reader's message is
// reported and the observations, the orbit and the state stay as they were.
void OpenObsFile(CDeterminationDisplay& view, const std::string& path);

// "計算をやり直す": the loaded observations as freshly loaded, orbit work
// discarded; the model, perturbers, step and elements are kept.
void OnRedoCalculation(CDeterminationDisplay& view);

// The designation with / \ : * ? " < > | replaced by "_".
std::string CleanFileNameDesignation(const std::string& designation);
// "<observation folder or data folder>/<cleaned designation>.obs".
std::string FetchedObservationPath(const std::string& designation);

// Downloads the object's observations (the NEOCP service with neocp 1),
// merges them into its file and opens it; the service's text is shown with
// the caption. serviceUrl "" is the Center's own.
void FetchObsAndOpen(CDeterminationDisplay& view, const std::string& designation, int neocp,
                     const std::string& caption, const std::string& serviceUrl = {},
                     const HttpTimeouts* timeouts = nullptr);
