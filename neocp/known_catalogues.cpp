#include "neocp/known_catalogues.h"

#include "data/comet_list.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/text_util.h"

std::string FindMpcorbFile()
{
  const CTessaruneApp& app = TheApp();
  const std::string chosen(TrimSpace(app.GetProfileString(kSettingsSection, "WHOIS_MPCORB", "")));
  if (!chosen.empty() && FileExists(chosen))
    return chosen;
  for (const std::string* folder : {&app.m_szDataDir, &app.m_szEphDir}) {
    if (folder->empty())
      continue;
    const std::string path = *folder + kMpcorbFileName;
    if (FileExists(path))
      return path;
  }
  return {};
}

std::string FindCometElementsFile(std::string& note, const std::function<int()>& download)
{
  note.clear();
  const std::string path = CometElementsPath();
  if (FileExists(path))
    return path;
  int received = 0;
  {
    ScopedWaitCursor wait;
    received = download ? download() : DownloadCometElements();
  }
  if (!received) {
    note = kCometNoteNotReceived;
    return {};
  }
  if (!FileExists(path)) {
    note = kCometNoteStillMissing;
    return {};
  }
  note = kCometNoteReceived;
  return path;
}
