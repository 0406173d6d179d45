#pragma once
// The observation check: every observation of a file against the orbit of
// the same object in the default element file "TESSARUNE.ELM" of the
// executable's folder, with the residuals, the shift of T that removes the
// residual in right ascension and the residuals left after it. The view
// without its window: the path field and the output box are held here.
#include <string>
#include <vector>

#include "data/element_record.h"
#include "data/observation_record.h"

struct CheckResult {
  std::string m_szDesig;   // the observation's columns 1-12
  int m_nYear = 0, m_nMonth = 0;
  double m_dDay = 0;       // with fraction (TT)
  double m_dResRa = 0;     // residual in RA x cos(dec), arcseconds
  double m_dResDec = 0;    // arcseconds
  double m_dShiftT = 0;    // days
  double m_dResRaAfter = 0, m_dResDecAfter = 0;  // after the shift, arcseconds
  std::string m_szStation;
};

inline constexpr const char* kCheckDefaultElementFile = "TESSARUNE.ELM";
inline constexpr const char* kCheckChooseFile = "観測ファイルを選択してください。";
inline constexpr const char* kCheckError = "エラーが発生しました";
inline constexpr const char* kCheckNoObservation = "有効な観測データがありません。";
inline constexpr const char* kCheckLimitOverflow = "解を求めることができませんでした(Limit overflow)。";
inline constexpr const char* kCheckNoElements = "軌道要素が見つかりませんでした。";

// Compares the observations (observer-to-Sun vectors set) with every record
// whose key equals an observation's first 12 columns, records in file order
// and observations in file order within each. False when the two-body
// solution fails; results then hold what was made before.
bool CheckObservations(const ObservationRecord* obs, int count, const std::vector<ElementRecord>& elements,
                       std::vector<CheckResult>& results);
// The listing: an empty first line, then one line per result.
std::string FormatCheckListing(const std::vector<CheckResult>& results);

class CChecking {
public:
  CChecking() = default;
  virtual ~CChecking() = default;
  CChecking(const CChecking&) = delete;
  CChecking& operator=(const CChecking&) = delete;

  // ---- what the window supplies ----
  virtual bool AskObsFile(std::string& path) { (void)path; return false; }
  virtual std::string GetPath() { return m_strPath; }
  virtual void SetPath(const std::string& path) { m_strPath = path; }
  virtual void SetOutput(const std::string& text) { m_strOutput = text; }

  // "開く(&O)"
  void OnBrowse();
  // "計算開始(&C)"
  void OnCheck();

  std::string m_strPath;
  std::string m_strOutput;
};
