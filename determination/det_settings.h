#pragma once
// The settings the orbit-determination view keeps ("SYSTEM" section): the
// reject thresholds, the observation list's column widths and the splitter.
#include <optional>

class CTessaruneApp;

struct RejectThresholds {
  int year = 1820;      // boundary year
  double before = 6.0;  // arcsec, observations up to the boundary year
  double after = 2.0;   // arcsec, later observations
};

// "REJECTYEAR" outside 1000-3000 gives 1820; "REJECTOLD" and "REJECTNEW"
// that are empty, unreadable or not positive give 6.0 and 2.0.
RejectThresholds ReadStoredRejectThresholds(const CTessaruneApp& app);

inline constexpr int kObsListColumns = 8;
// Width stored for a column under "OBSCOL%d" when it is 0-2000.
std::optional<int> StoredObsColumnWidth(const CTessaruneApp& app, int column);
// Stores a width that is at most 2000.
void StoreObsColumnWidth(CTessaruneApp& app, int column, int width);

// "OBSSPLIT" (0 when absent).
int StoredSplitOffset(const CTessaruneApp& app);
// Written only when the application has a settings file.
void StoreSplitOffset(CTessaruneApp& app, int offset);
