#pragma once
// What the options sheet's pages show and what their OK steps write, and the
// migration of the data folder to Documents, without any window: the sheet
// passes the texts of its fields and shows the messages these return.
#include <optional>
#include <string>
#include <vector>

class CTessaruneApp;

struct BasicPageFields {
  std::string dataDir;    // edit 1228
  std::string obsFolder;  // edit 1090
  std::string signature;  // edit 1152
  std::string co2R0;      // edit 1324
  std::string ngDt;       // edit 1329
};
BasicPageFields InitialBasicPage(const CTessaruneApp& app);
// Writes the page's keys and applies them; the notices to show, in order.
std::vector<std::string> ApplyBasicPage(CTessaruneApp& app, const BasicPageFields& f);

struct EphPageFields {
  std::string de406File;  // edit 1089
  std::string ftpServer;  // edit 1200
  std::string ftpPath;    // edit 1201
  std::string de441Url;   // edit 1488
};
EphPageFields InitialEphPage(const CTessaruneApp& app);
// True when the DE406 path changed: the caller rebuilds the planetary reader.
bool ApplyEphPage(CTessaruneApp& app, const EphPageFields& f);
// Replaces g_pJplEph by a new reader; false when it has no file with a span.
bool RebuildPlanetaryReader();

struct MpcPageFields {
  std::string stationsFile;  // edit 1425
  std::string obsCodesUrl;   // edit 1212
  std::string mpcorbFile;    // edit 1281
  std::string mpcorbUrl;     // edit 1283
  std::string cometElsUrl;   // edit 1285
};
MpcPageFields InitialMpcPage(const CTessaruneApp& app);
// The comet-list URL shown for a stored value: the default for an empty one
// or one naming the older comet file.
std::string ShownCometElsUrl(const std::string& stored);
void ApplyMpcPage(CTessaruneApp& app, const MpcPageFields& f);
// Path and URL of the catalogue download: the trimmed fields, or the defaults.
std::string MpcorbPathOrDefault(const CTessaruneApp& app, const std::string& field);
std::string UrlOrDefault(const std::string& field, const char* def);
// The station download's settings writes (before RunStationCodeUpdate).
void PrepareStationDownload(CTessaruneApp& app, const std::string& path, const std::string& url);

// The notice to show, or "".
std::string ApplyLocPage(CTessaruneApp& app, const std::string& ephDirField);

// ---- the migration to Documents ----
// "<documents>Tessarune/", or "" when Documents is unknown.
std::string MigrationTarget(const std::string& documents);
struct MigrationStatus {
  bool enabled;
  std::string text;  // the status line
};
MigrationStatus MigrationStatusOf(const CTessaruneApp& app, const std::string& target);

struct MigrationPlan {
  std::string source;     // the data folder in use
  std::string target;
  std::string obsSource;  // "" when the observations stay where they are
  std::string obsTarget;
  int obsCount = 0;
};
// nullopt when the data folder already is the target (or there is none).
std::optional<MigrationPlan> PlanMigration(const CTessaruneApp& app, const std::string& target);
std::string MigrationQuestion(const MigrationPlan& plan);

struct MigrationResult {
  bool done = false;     // false: stopped before touching the settings in use
  int copied = 0;
  bool inPlace = false;  // the settings file in use already was the target's
  std::string message;   // the report, or why it stopped
};
// Copies the files, writes the keys into the new settings file and moves the
// old one aside as ".bak"; from then on the new file is the one in use.
MigrationResult RunMigration(CTessaruneApp& app, const MigrationPlan& plan);
