#pragma once
// The folders and files the computation reads, as one value: the application
// object gives it (CTessaruneApp::Paths) and the astronomy library and the
// engine take it, so they need no application object and a test can hand
// them its own. Folders end in "/".
#include <string>

struct AppPaths {
  std::string exeDir;        // the executable's folder
  std::string dataDir;       // settings file, station list, element lists, logs
  std::string ephDir;        // planetary-ephemeris folder
  std::string de441File;     // the planetary file tried first
  std::string de406File;     // the planetary file tried next
  std::string stationsFile;  // the observatory-code list
};
