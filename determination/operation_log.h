#pragma once
// The operation log of the orbit-determination view without its window: the
// file name, the stamped lines and the blocks written around each
// calculation. The writers themselves are members of the view
// (CDeterminationDisplay); these are their pieces.
#include <ctime>
#include <string>

struct ObservationRecord;

// "Tessarune_OpLog_%04d%02d%02d_%02d%02d%02d.txt" of the local time.
std::string OperationLogFileName(const std::tm& local);
// A whole constant line formatted as a time format ("[%Y/%m/%d %H:%M:%S] ...");
// empty when the formatting fails.
std::string FormatOpLogTime(const std::tm& local, const char* format);
inline constexpr const char* kOpLogStampFormat = "[%Y/%m/%d %H:%M:%S] ";
inline constexpr const char* kOpLogStartLine = "[%Y/%m/%d %H:%M:%S] === 操作ログの記録を開始 ===\r\n";
inline constexpr const char* kOpLogStopLine = "[%Y/%m/%d %H:%M:%S] === 操作ログの記録を停止 ===\r\n";

// The 非重力 value of the settings line: "なし" unless computed; else the
// model with its parameters ("薮下理論(CO・N2)(Y1Y2Y3)"), the CO2 scale
// distance for model 2 and the activity shift when it is not 0.
std::string FormatNonGravSetting(int computed, int model, int a3, double co2R0, double dt);

// Counts of the residual table, made while its rows are written.
struct OpLogObsCounts {
  int used = 0;      // neither rejected nor of an unknown station
  int rejected = 0;
  int unknown = 0;   // unknown station, rejected or not
};
// The residual table's rows (number, date, station, residuals in arcseconds
// and the marks R, F, X, Wn) up to count or the end record; counts added.
std::string FormatResidualRows(const ObservationRecord* obs, int count, OpLogObsCounts& counts);
