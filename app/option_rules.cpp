#include "app/option_rules.h"

#include <cstdio>
#include <filesystem>

#include "astro/jpl_eph.h"
#include "data/comet_list.h"
#include "data/folder_copy.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/nongrav_settings.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "resources/option_strings.h"

namespace {

constexpr size_t kPathChars = 260;
constexpr const char* kMpcorbName = "MPCORB.DAT";

std::string Key(const CTessaruneApp& app, const char* key, const std::string& def = {})
{
  return app.GetProfileString(kSettingsSection, key, def);
}

bool Write(CTessaruneApp& app, const char* key, const std::string& value)
{
  return app.WriteProfileString(kSettingsSection, key, value.c_str());
}

std::string Trimmed(const std::string& s)
{
  return std::string(TrimSpace(s));
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
  return s.size() >= prefix.size() && EqualsNoCaseAscii(std::string_view(s).substr(0, prefix.size()), prefix);
}

// Two names of one file: the settings file in use may be the target's own.
bool SameFile(const std::string& a, const std::string& b)
{
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec))
    return true;
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

} // namespace

BasicPageFields InitialBasicPage(const CTessaruneApp& app)
{
  return {app.m_szDataDir, Key(app, "OBSFOLDER"), Key(app, "SIGNATURE"), FormatC("%g", g_dCo2R0),
          FormatC("%g", g_dNonGravDt)};
}

std::vector<std::string> ApplyBasicPage(CTessaruneApp& app, const BasicPageFields& f)
{
  std::vector<std::string> notices;
  if (!f.dataDir.empty()) {
    const std::string dir = WithSlash(f.dataDir);
    if (dir != app.m_szDataDir) {
      Write(app, "DATADIR", dir);
      notices.push_back(OptionText::kDataDirChanged);
    }
  }
  if (!f.obsFolder.empty()) {
    Write(app, "OBSFOLDER", f.obsFolder);
    app.m_szObsFolder = std::string(Utf8Prefix(f.obsFolder, kPathChars));
  }
  Write(app, "SIGNATURE", f.signature);
  app.m_szSignature = std::string(Utf8Prefix(f.signature, kSignatureMaxChars));
  SetCo2ScaleDistance(StringToDouble(f.co2R0));
  Write(app, "CO2R0", FormatC("%g", g_dCo2R0));
  SetNonGravDt(StringToDouble(f.ngDt));
  Write(app, "NGDT", FormatC("%g", g_dNonGravDt));
  return notices;
}

EphPageFields InitialEphPage(const CTessaruneApp& app)
{
  return {Key(app, "DE406FILE", app.m_szEphDir + "de406.win"), Key(app, "DE406FTPSERVER", kDefaultDe406FtpServer),
          Key(app, "DE406FTPPATH", kDefaultDe406FtpPath), Key(app, "DE441URL", kDefaultDe441Url)};
}

bool ApplyEphPage(CTessaruneApp& app, const EphPageFields& f)
{
  bool changed = false;
  if (!f.de406File.empty() && f.de406File != app.m_szDe406File) {
    Write(app, "DE406FILE", f.de406File);
    app.m_szDe406File = f.de406File;
    changed = true;
  }
  if (!f.ftpServer.empty()) {
    Write(app, "DE406FTPSERVER", f.ftpServer);
    app.m_szDe406FtpServer = f.ftpServer;
  }
  if (!f.ftpPath.empty()) {
    Write(app, "DE406FTPPATH", f.ftpPath);
    app.m_szDe406FtpPath = f.ftpPath;
  }
  if (!f.de441Url.empty())
    Write(app, "DE441URL", f.de441Url);
  return changed;
}

bool RebuildPlanetaryReader()
{
  return ReplacePlanetaryReader(TheApp().Paths());
}

std::string ShownCometElsUrl(const std::string& stored)
{
  const std::string url = Trimmed(stored);
  if (url.empty() || EqualsNoCaseAscii(url, kOldCometElsUrl))
    return kDefaultCometElsUrl;
  return stored;
}

MpcPageFields InitialMpcPage(const CTessaruneApp& app)
{
  return {Key(app, "STATIONSFILE", app.m_szDataDir + "stations.txt"), Key(app, "OBSCODESURL", kDefaultObsCodesUrl),
          Key(app, "WHOIS_MPCORB", app.m_szDataDir + kMpcorbName), Key(app, "WHOIS_MPCORBURL", kDefaultMpcorbUrl),
          ShownCometElsUrl(Key(app, "COMETELSURL"))};
}

void ApplyMpcPage(CTessaruneApp& app, const MpcPageFields& f)
{
  if (!f.stationsFile.empty()) {
    Write(app, "STATIONSFILE", f.stationsFile);
    app.m_szStationsFile = std::string(Utf8Prefix(f.stationsFile, kPathChars));
  }
  if (!f.obsCodesUrl.empty())
    Write(app, "OBSCODESURL", f.obsCodesUrl);
  if (!f.mpcorbFile.empty())
    Write(app, "WHOIS_MPCORB", f.mpcorbFile);
  if (!f.mpcorbUrl.empty())
    Write(app, "WHOIS_MPCORBURL", f.mpcorbUrl);
  if (!f.cometElsUrl.empty())
    Write(app, "COMETELSURL", f.cometElsUrl);
}

std::string MpcorbPathOrDefault(const CTessaruneApp& app, const std::string& field)
{
  const std::string path = Trimmed(field);
  return path.empty() ? app.m_szDataDir + kMpcorbName : path;
}

std::string UrlOrDefault(const std::string& field, const char* def)
{
  const std::string url = Trimmed(field);
  return url.empty() ? std::string(def) : url;
}

void PrepareStationDownload(CTessaruneApp& app, const std::string& path, const std::string& url)
{
  if (!url.empty())
    Write(app, "OBSCODESURL", url);
  if (!path.empty()) {
    Write(app, "STATIONSFILE", path);
    app.m_szStationsFile = std::string(Utf8Prefix(path, kPathChars));
  }
}

std::string ApplyLocPage(CTessaruneApp& app, const std::string& ephDirField)
{
  if (ephDirField.empty())
    return {};
  const std::string dir = WithSlash(ephDirField);
  if (dir == app.m_szEphDir)
    return {};
  Write(app, "EPHDIR", dir);
  return OptionText::kEphDirChanged;
}

std::string MigrationTarget(const std::string& documents)
{
  return documents.empty() ? std::string() : WithSlash(documents) + "Tessarune/";
}

MigrationStatus MigrationStatusOf(const CTessaruneApp& app, const std::string& target)
{
  if (!EqualsNoCaseAscii(app.m_szDataDir, target) && !target.empty())
    return {true, FormatC(OptionText::kMigrateTarget, target.c_str())};
  return {false, OptionText::kMigrateAlready};
}

std::optional<MigrationPlan> PlanMigration(const CTessaruneApp& app, const std::string& target)
{
  if (target.empty() || EqualsNoCaseAscii(app.m_szDataDir, target))
    return std::nullopt;
  MigrationPlan plan;
  plan.source = app.m_szDataDir;
  plan.target = target;
  const std::string obs = WithSlash(app.m_szObsFolder);
  if (obs.size() > plan.source.size() && StartsWithNoCase(obs, plan.source)) {
    plan.obsSource = obs;
    plan.obsTarget = target + obs.substr(plan.source.size());
    plan.obsCount = CTessaruneLib::CountFilesInFolder(obs);
  }
  return plan;
}

std::string MigrationQuestion(const MigrationPlan& plan)
{
  return FormatC(OptionText::kMigrateQuestion, plan.source.c_str(), plan.target.c_str(), plan.obsCount);
}

MigrationResult RunMigration(CTessaruneApp& app, const MigrationPlan& plan)
{
  MigrationResult result;
  std::error_code ec;
  std::filesystem::create_directories(plan.target, ec);
  const std::string oldIni = app.m_profile.Path();
  const std::string newIni = plan.target + "Tessarune.INI";
  // A data folder moved by "DATADIR" leaves the settings file in the target:
  // it is updated where it is, never copied onto itself nor moved aside.
  result.inPlace = SameFile(oldIni, newIni);
  if (!result.inPlace) {
    if (!CopyWholeFile(oldIni, newIni)) {
      result.message = FormatC(OptionText::kMigrateCopyFailed, oldIni.c_str(), newIni.c_str());
      return result;
    }
    ++result.copied;
  }
  for (const char* name : {"stations.txt", "AllCometEls.txt", "CometEls.txt"})
    if (FileExists(plan.source + name) && !FileExists(plan.target + name) &&
        CopyWholeFile(plan.source + name, plan.target + name))
      ++result.copied;
  if (!plan.obsSource.empty())
    result.copied += CTessaruneLib::CopyFolderNoOverwrite(plan.obsSource, plan.obsTarget);

  IniFile ini(newIni);
  bool ok = ini.WriteString(kSettingsSection, "DATADIR", "");
  ok = ok && ini.WriteString(kSettingsSection, "EPHDIR", app.m_szEphDir.c_str());
  if (ok && FileExists(app.m_szDe406File))
    ok = ini.WriteString(kSettingsSection, "DE406FILE", app.m_szDe406File.c_str());
  if (ok && FileExists(app.m_szDe441File))
    ok = ini.WriteString(kSettingsSection, "DE441FILE", app.m_szDe441File.c_str());
  // The question promises that the catalogue keeps its place.
  const std::string mpcorb = MpcorbPathOrDefault(app, Key(app, "WHOIS_MPCORB"));
  if (ok && FileExists(mpcorb))
    ok = ini.WriteString(kSettingsSection, "WHOIS_MPCORB", mpcorb.c_str());
  if (ok && !plan.obsSource.empty())
    ok = ini.WriteString(kSettingsSection, "OBSFOLDER", "");
  if (ok && app.m_szStationsFile.size() > plan.source.size() && StartsWithNoCase(app.m_szStationsFile, plan.source))
    ok = ini.WriteString(kSettingsSection, "STATIONSFILE", "");
  if (!ok) {
    result.message = FormatC(OptionText::kMigrateWriteFailed, newIni.c_str());
    return result;
  }

  if (!result.inPlace) {
    const std::string bak = oldIni + ".bak";
    std::remove(bak.c_str());
    std::rename(oldIni.c_str(), bak.c_str());
  }
  app.m_profile.SetPath(newIni);
  result.done = true;
  result.message = FormatC(result.inPlace ? OptionText::kMigrateReportInPlace : OptionText::kMigrateReport,
                           result.copied, plan.target.c_str());
  return result;
}
