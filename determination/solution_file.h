#pragma once
// The program's own solution file ("*.IMP"): key-and-value lines in UTF-8
// with a byte-order mark and CR LF, which hold one solution of the
// orbit-determination view (elements to 17 digits, force model, step, reject
// thresholds, fit statistics, formal errors, every observation's state and
// weight) so that it can be restored exactly into a view that has the same
// observations loaded. Window-free: the view's controls through the host.
#include <string>

struct IntegrationState;
class CDeterminationDisplay;

// What a solution file holds, as read. has* tell which keys were present.
struct SolutionFileRecord {
  int keys = 0;  // recognised keys, repeats counted
  bool hasEpoch = false, hasT = false, hasQ = false, hasE = false, hasPeri = false, hasNode = false,
       hasIncl = false;
  double epoch = 0, T = 0, q = 0, e = 0, peri = 0, node = 0, incl = 0;
  bool hasA[3] = {};
  double A[3] = {};
  bool hasMpOrbit = false, hasStep = false, hasEffect = false, hasModel = false, hasEffectA3 = false,
       hasPerturbation = false, hasPertSet = false, hasFixEcc = false;
  int mpOrbit = 0, effect = 0, model = 0, effectA3 = 0, perturbation = 0, pertSet = 0, fixEcc = 0;
  double step = 0;
  bool hasRejectYear = false, hasRejectOld = false, hasRejectNew = false;
  int rejectYear = 0;
  double rejectOld = 0, rejectNew = 0;
  int errValid = 0;
  double errors[12] = {};  // ErrT, ErrPeri, ErrNode, ErrIncl, Errq, Erre, Erra, ErrP, ErrN, ErrA1-ErrA3
  std::string flags;       // "ObsFlags" values concatenated
  std::string weights;     // "ObsWeights" values, each after a blank
};

// Largest file the loader reads.
inline constexpr long kSolutionFileMaxBytes = 4194304;

// Texts of the loader and the save command.
inline constexpr const char* kMsgSolutionOpenFailed = "ファイルを開けませんでした。";
inline constexpr const char* kMsgSolutionBadSize = "ファイルの大きさが異常です。";
inline constexpr const char* kMsgSolutionNothingKnown = "再現用ファイルとして読み取れる内容がありませんでした。";
inline constexpr const char* kMsgSolutionNeedsObservations =
    "先に観測ファイルを読み込んでください。\r\n再現用ファイルは軌道要素と観測の状態だけを持っており、観測そのものは含みません。";

// Mean anomaly (rad) at epoch of an ellipse of semi-major axis a (AU) with
// perihelion time T, reduced into (0, 2π].
double MeanAnomalyAtEpoch(double epoch, double T, double a);

// The file's text (CR LF lines, no byte-order mark) for the view and the
// state that holds its current solution.
std::string FormatSolutionFileText(CDeterminationDisplay& view, const IntegrationState& state);

// The text of the batch scan's file: note lines first ("# " + line), and
// with dropFit no mean residual, used count or formal errors.
std::string SolutionFileTextForBatch(CDeterminationDisplay& view, const IntegrationState& state,
                                     const std::string& note, int dropFit);
// Writes that text with a byte-order mark through a temporary file; false
// (no message, the old file kept) when it could not be written.
bool WriteSolutionFileForBatch(CDeterminationDisplay& view, const std::string& path, const IntegrationState& state,
                               const std::string& note, int dropFit);

// Reads the key lines of a solution file's text (UTF-8, a byte-order mark,
// CR LF or LF) into rec. Later keys overwrite earlier ones.
void ParseSolutionFileText(const std::string& text, SolutionFileRecord& rec);

// Restores the file into the view and its engine and computes the
// residuals of the restored orbit: 0 done; the residual computation's code
// (-9 cancelled) when that failed after the restore; -1 when nothing was
// restored (no observations, the file unreadable, of a bad size, without a
// known key, or without a complete orbit), said in a message but for the
// first case.
int LoadSolutionFile(CDeterminationDisplay& view, const std::string& path);
