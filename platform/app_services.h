#pragma once
// The application object as the computation sees it: folders and file paths,
// the settings file, the observer's location, developer and worker modes, the
// command line's values. It lives without any window; the wxWidgets
// application owns the process's one (TheApp()) and adds the windows, whose
// registry is app/registry/window_registry.h.
#include <string>
#include <vector>

#include "platform/app_paths.h"
#include "platform/ini_file.h"

// Defaults of the download locations (section "SYSTEM").
inline constexpr const char* kDefaultDe406FtpServer = "ssd.jpl.nasa.gov";
inline constexpr const char* kDefaultDe406FtpPath = "pub/eph/export/unix/";
inline constexpr const char* kDefaultDe441Url =
    "https://ssd.jpl.nasa.gov/ftp/eph/planets/Linux/de441/linux_m13000p17000.441";
inline constexpr const char* kDefaultObsCodesUrl = "https://www.minorplanetcenter.net/iau/lists/ObsCodes.html";
inline constexpr const char* kDefaultMpcorbUrl = "https://www.minorplanetcenter.net/iau/MPCORB/MPCORB.DAT";
inline constexpr const char* kDefaultCometElsUrl = "https://www.minorplanetcenter.net/iau/MPCORB/AllCometEls.txt";
inline constexpr const char* kSettingsSection = "SYSTEM";
inline constexpr int kSignatureMaxChars = 20;

class CTessaruneApp {
public:
  CTessaruneApp() = default;
  CTessaruneApp(const CTessaruneApp&) = delete;
  CTessaruneApp& operator=(const CTessaruneApp&) = delete;

  // Folders end in "/".
  std::string m_szExeDir;        // the executable's folder (a final Debug/ or Release/ cut)
  std::string m_szDataDir;       // settings file, station list, element lists, logs
  std::string m_szEphDir;        // planetary-ephemeris folder
  std::string m_szDe406File;     // "DE406FILE"
  std::string m_szDe441File;     // "DE441FILE"
  std::string m_szObsFolder;     // "OBSFOLDER" (no final "/" by default)
  std::string m_szStationsFile;  // "STATIONSFILE"
  std::string m_szDe406FtpServer;
  std::string m_szDe406FtpPath;
  std::string m_szSignature;     // at most 20 characters

  int m_bDeveloper = 0;
  int m_nNeocpScan = 0;          // 0 none, -1 all objects, N > 0 that many
  int m_bNeocpExit = 0;
  std::vector<std::string> m_astrNeocpFiles;
  int m_nNeocpParallel = 0;
  std::string m_strNeocpWorker;  // non-empty: worker mode
  int m_nExitCode = 0;           // the process's exit code when its main loop ends with 0

  double m_dObsLat = 35.7;   // degrees, north positive
  double m_dObsLon = 139.7;  // degrees, east positive
  double m_dObsTz = 9.0;     // hours

  int m_nWaitCursorCount = 0;

  bool IsWorker() const { return !m_strNeocpWorker.empty(); }

  // The folders and files as they are now.
  AppPaths Paths() const {
    return {m_szExeDir, m_szDataDir, m_szEphDir, m_szDe441File, m_szDe406File, m_szStationsFile};
  }

  // The settings file ("Tessarune.INI" in the data folder once LoadSettings ran).
  IniFile m_profile;
  std::string GetProfileString(const std::string& section, const std::string& key,
                               const std::string& def = {}) const;
  int GetProfileInt(const std::string& section, const std::string& key, int def) const;
  // In worker mode nothing is written and the result is true. A null value
  // deletes the key.
  bool WriteProfileInt(const std::string& section, const std::string& key, int value);
  bool WriteProfileString(const std::string& section, const std::string& key, const char* value);
  // A failed settings write is told once (a warning through Ui()).
  bool m_bProfileWriteFailNoted = false;

  // Busy cursor nesting: +1 begin, -1 end, 0 restore.
  void DoWaitCursor(int code);

private:
  bool NoteProfileWrite(bool written, const std::string& error);
};

// The process's application object.
CTessaruneApp& TheApp();

// The wait cursor for the lifetime of the object.
class ScopedWaitCursor {
public:
  ScopedWaitCursor() { TheApp().DoWaitCursor(1); }
  ~ScopedWaitCursor() { TheApp().DoWaitCursor(-1); }
  ScopedWaitCursor(const ScopedWaitCursor&) = delete;
  ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;
};

// Where the program finds itself and the user's folders; tests give their own.
struct AppEnvironment {
  std::string exePath;       // full path of the executable ("" when unknown)
  std::string localAppData;  // ending in "/" or ""
  std::string documents;     // ending in "/" or ""
};
AppEnvironment CurrentEnvironment();

// Locates the folders and the settings file and reads the start-up keys.
void LoadSettings();
void LoadSettings(CTessaruneApp& app, const AppEnvironment& env);

// The first eight arguments, each without its leading "-" or "/", cut to 1023 characters.
class CMyAppCommandLineInfo {
public:
  static constexpr int kSlots = 8;
  static constexpr size_t kSlotChars = 1023;

  void ParseParam(const char* param, bool flag, bool last);
  // Feeds argv[1..] through ParseParam, removing a leading "-" or "/".
  void ParseArguments(int argc, const char* const* argv);

  std::string m_aszParams[kSlots];
  int m_nParams = 0;
};

// Applies the switches (developer mode, the NEOCP scan switches) to the application.
void InterpretCommandLine(CTessaruneApp& app, const CMyAppCommandLineInfo& info);
