#include "determination/det_settings.h"

#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr const char* kSection = "SYSTEM";
constexpr int kMaxColumnWidth = 2000;

double PositiveOr(const std::string& text, double def) {
  double value = 0;
  if (!ParseDouble(text, value) || !(value > 0)) return def;
  return value;
}

std::string ColumnKey(int column) { return FormatC("OBSCOL%d", column); }

}  // namespace

RejectThresholds ReadStoredRejectThresholds(const CTessaruneApp& app) {
  RejectThresholds r;
  const int year = app.GetProfileInt(kSection, "REJECTYEAR", r.year);
  if (year >= 1000 && year <= 3000) r.year = year;
  r.before = PositiveOr(app.GetProfileString(kSection, "REJECTOLD"), r.before);
  r.after = PositiveOr(app.GetProfileString(kSection, "REJECTNEW"), r.after);
  return r;
}

std::optional<int> StoredObsColumnWidth(const CTessaruneApp& app, int column) {
  const int width = app.GetProfileInt(kSection, ColumnKey(column), -1);
  if (width < 0 || width > kMaxColumnWidth) return std::nullopt;
  return width;
}

void StoreObsColumnWidth(CTessaruneApp& app, int column, int width) {
  if (width <= kMaxColumnWidth) app.WriteProfileInt(kSection, ColumnKey(column), width);
}

int StoredSplitOffset(const CTessaruneApp& app) { return app.GetProfileInt(kSection, "OBSSPLIT", 0); }

void StoreSplitOffset(CTessaruneApp& app, int offset) {
  if (!app.m_profile.Path().empty()) app.WriteProfileInt(kSection, "OBSSPLIT", offset);
}
