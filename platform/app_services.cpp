#include "platform/app_services.h"

#include <algorithm>
#include <filesystem>

#include "platform/files.h"
#include "platform/fixed_field.h"
#include "platform/nongrav_settings.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {

std::string Upper(std::string s)
{
  for (char& c : s)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool StartsWithNoCase(const std::string& s, const char* prefix)
{
  const std::string p = prefix;
  return s.size() >= p.size() && Upper(s.substr(0, p.size())) == Upper(p);
}

// The executable's folder with a final Debug/ or Release/ build folder cut.
std::string ExeFolder(const std::string& exePath)
{
  size_t slash = exePath.rfind('/');
  std::string dir = slash == std::string::npos ? std::string("./") : exePath.substr(0, slash + 1);
  const std::string up = Upper(dir);
  if (up.size() >= 7 && up.compare(up.size() - 7, 7, "/DEBUG/") == 0)
    dir.resize(dir.size() - 6);
  else if (up.size() >= 9 && up.compare(up.size() - 9, 9, "/RELEASE/") == 0)
    dir.resize(dir.size() - 8);
  return dir;
}

// Creates a folder and any missing parents; a failure is left to the users of the path.
void MakeFolder(const std::string& path)
{
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
}

void ChooseLayout(CTessaruneApp& app, const AppEnvironment& env)
{
  const std::string local = env.localAppData.empty() ? app.m_szExeDir : env.localAppData;
  app.m_szEphDir = local + "Tessarune/";
  if (FileExists(app.m_szExeDir + "Tessarune.INI")) {
    app.m_szDataDir = app.m_szExeDir;
    app.m_szEphDir = app.m_szExeDir;
  } else if (FileExists(app.m_szEphDir + "Tessarune.INI")) {
    app.m_szDataDir = app.m_szEphDir;
  } else {
    const std::string documents = env.documents.empty() ? local : env.documents;
    app.m_szDataDir = documents + "Tessarune/";
    MakeFolder(app.m_szDataDir);
    MakeFolder(app.m_szEphDir);
  }
  app.m_profile.SetPath(app.m_szDataDir + "Tessarune.INI");
}

void ReadFolderKey(CTessaruneApp& app, const char* key, std::string& folder)
{
  std::string v = app.GetProfileString(kSettingsSection, key);
  if (v.empty())
    return;
  folder = WithSlash(v);
  MakeFolder(folder);
}

std::string ReadPathKey(CTessaruneApp& app, const char* key, const std::string& def)
{
  std::string v = app.GetProfileString(kSettingsSection, key);
  return v.empty() ? def : v;
}

double ReadRealKey(CTessaruneApp& app, const char* key, double def)
{
  std::string v = app.GetProfileString(kSettingsSection, key);
  return v.empty() ? def : StringToDouble(v);
}

} // namespace


CTessaruneApp& TheApp()
{
  static CTessaruneApp app;
  return app;
}

std::string CTessaruneApp::GetProfileString(const std::string& section, const std::string& key,
                                            const std::string& def) const
{
  return m_profile.GetString(section, key, def);
}

int CTessaruneApp::GetProfileInt(const std::string& section, const std::string& key, int def) const
{
  return m_profile.GetInt(section, key, def);
}

bool CTessaruneApp::WriteProfileInt(const std::string& section, const std::string& key, int value)
{
  if (IsWorker())
    return true;
  std::string error;
  return NoteProfileWrite(m_profile.WriteInt(section, key, value, &error), error);
}

bool CTessaruneApp::WriteProfileString(const std::string& section, const std::string& key, const char* value)
{
  if (IsWorker())
    return true;
  std::string error;
  return NoteProfileWrite(m_profile.WriteString(section, key.c_str(), value, &error), error);
}

// The callers of the settings writes (options, window places, …) go on
// without their result; a full or read-only disk would lose every setting
// unseen. The user hears of it once, not at every write that follows.
bool CTessaruneApp::NoteProfileWrite(bool written, const std::string& error)
{
  if (written || m_bProfileWriteFailNoted)
    return written;
  m_bProfileWriteFailNoted = true;
  Ui().ShowMessage("Tessarune",
                   "設定ファイルに書き込めませんでした。オプションやウィンドウの位置などの設定は保存されません。\r\n"
                   "ディスクの空きと書き込みの権限を確かめてください。\r\n\r\n" + error,
                   MsgIcon::Warning, MsgButtons::Ok);
  return false;
}

void CTessaruneApp::DoWaitCursor(int code)
{
  m_nWaitCursorCount += code;
  if (m_nWaitCursorCount < 1) {
    m_nWaitCursorCount = 0;
    Ui().SetBusyCursor(false);
  } else {
    Ui().SetBusyCursor(true);
  }
}

AppEnvironment CurrentEnvironment()
{
  return {ExecutablePath(), LocalAppDataFolder(), DocumentsFolder()};
}

void LoadSettings()
{
  LoadSettings(TheApp(), CurrentEnvironment());
}

void LoadSettings(CTessaruneApp& app, const AppEnvironment& env)
{
  if (env.exePath.empty())
    return;
  app.m_szExeDir = ExeFolder(env.exePath);
  ChooseLayout(app, env);
  // Temporaries of writes cut short by a kill in an earlier session.
  RemoveStaleTemporaries(app.m_profile.Path());

  ReadFolderKey(app, "DATADIR", app.m_szDataDir);
  // A session's operation log is never appended to again: a block its
  // writer was killed in is cut off here, so that every log reads whole.
  RepairUnfinishedAppends(app.m_szDataDir);
  ReadFolderKey(app, "EPHDIR", app.m_szEphDir);
  app.m_szDe406File = ReadPathKey(app, "DE406FILE", app.m_szEphDir + "de406.win");
  app.m_szDe441File = ReadPathKey(app, "DE441FILE", app.m_szEphDir + "de441.bin");
  app.m_szObsFolder = ReadPathKey(app, "OBSFOLDER", app.m_szDataDir + "obs");
  MakeFolder(app.m_szObsFolder);
  app.m_szStationsFile = ReadPathKey(app, "STATIONSFILE", app.m_szDataDir + "stations.txt");
  if (!FileExists(app.m_szStationsFile) && FileExists(app.m_szExeDir + "stations.txt"))
    CopyWholeFile(app.m_szExeDir + "stations.txt", app.m_szStationsFile);
  SetCo2ScaleDistance(ReadRealKey(app, "CO2R0", 10.8));
  SetNonGravDt(ReadRealKey(app, "NGDT", 0.0));
  app.m_dObsLat = ReadRealKey(app, "OBSLAT", 35.7);
  app.m_dObsLon = ReadRealKey(app, "OBSLON", 139.7);
  app.m_dObsTz = ReadRealKey(app, "OBSTZ", 9.0);
  app.m_szSignature = std::string(Utf8Prefix(app.GetProfileString(kSettingsSection, "SIGNATURE"), kSignatureMaxChars));
  app.m_szDe406FtpServer = ReadPathKey(app, "DE406FTPSERVER", kDefaultDe406FtpServer);
  app.m_szDe406FtpPath = ReadPathKey(app, "DE406FTPPATH", kDefaultDe406FtpPath);
}

void CMyAppCommandLineInfo::ParseParam(const char* param, bool /*flag*/, bool /*last*/)
{
  if (m_nParams >= kSlots || param == nullptr)
    return;
  m_aszParams[m_nParams++] = std::string(Utf8Prefix(param, kSlotChars));
}

void CMyAppCommandLineInfo::ParseArguments(int argc, const char* const* argv)
{
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    bool flag = a[0] == '-' || a[0] == '/';
    ParseParam(flag ? a + 1 : a, flag, i == argc - 1);
  }
}

void InterpretCommandLine(CTessaruneApp& app, const CMyAppCommandLineInfo& info)
{
  for (int i = 0; i < info.m_nParams; ++i)
    if (EqualsNoCaseAscii(info.m_aszParams[i], "dev") || EqualsNoCaseAscii(info.m_aszParams[i], "developer"))
      app.m_bDeveloper = 1;

  for (int i = 0; i < info.m_nParams; ++i) {
    const std::string& p = info.m_aszParams[i];
    if (StartsWithNoCase(p, "neocpscan")) {
      app.m_nNeocpScan = -1;
      if (p.size() > 9 && p[9] == '=') {
        long n = ReadInteger(std::string_view(p).substr(10));
        if (n > 0)
          app.m_nNeocpScan = static_cast<int>(std::min(n, 1000000000L));
      }
    } else if (EqualsNoCaseAscii(p, "neocpexit")) {
      app.m_bNeocpExit = 1;
    } else if (StartsWithNoCase(p, "neocpfile=") && p.size() > 10) {
      app.m_astrNeocpFiles.push_back(p.substr(10));
      if (app.m_nNeocpScan == 0)
        app.m_nNeocpScan = -1;
    } else if (StartsWithNoCase(p, "neocppar=")) {
      long n = ReadInteger(std::string_view(p).substr(9));
      app.m_nNeocpParallel = static_cast<int>(std::clamp(n, -1000000000L, 1000000000L));
    } else if (StartsWithNoCase(p, "neocpworker=") && p.size() > 12 && app.m_bDeveloper == 1) {
      app.m_strNeocpWorker = p.substr(12);
      app.m_nNeocpScan = -1;
    }
  }
}
