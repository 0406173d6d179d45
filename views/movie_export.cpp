#include "views/movie_export.h"

#include <cstdio>

#include "astro/time_scales.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"

namespace {

// Where the last video went, so that the next save dialog opens there.
constexpr const char* kFolderKey = "MOVIEEXPORTFOLDER";

} // namespace

std::string MakeExportFileName(const std::string& prefix, const std::string& name, const std::string& kind,
                               double jd, const std::string& ext)
{
  const char* blanks = " \t\r\n\v\f";
  const size_t first = name.find_first_not_of(blanks);
  std::string safe = first == std::string::npos ? "object" : name.substr(first, name.find_last_not_of(blanks) - first + 1);
  for (char& c : safe)
    if (std::string_view(" \"*/:<>?\\|").find(c) != std::string_view::npos)
      c = '_';
  double y = 0, m = 0, d = 0;
  const int month = JdToCalendar(jd, y, m, d);
  std::string abbrev = g_aszMonthAbbrev[month >= 1 && month <= 12 ? month - 1 : 0];
  while (!abbrev.empty() && (abbrev.back() == '.' || abbrev.back() == ' '))
    abbrev.pop_back();
  char text[64];
  std::snprintf(text, sizeof text, "%d-%s-%.1f", int(y), abbrev.c_str(), d);
  return prefix + "-" + safe + "-" + kind + text + "." + ext;
}

bool ChooseMovieFile(const char* settingsKey, const std::string& prefix, const std::string& name,
                     const std::string& kind, double jd, const MovieSaveAsk& ask, std::string& path, int& row)
{
  const int stored = MovieExportTypeRow(TheApp().GetProfileInt("SYSTEM", settingsKey, 1));
  MovieSaveRequest request;
  request.filter = MovieExportFilter();
  request.defaultExt = g_aMovieExportTypes[stored - 1].ext;
  request.defaultName = MakeExportFileName(prefix, name, kind, jd, request.defaultExt);
  request.filterIndex = stored;
  request.defaultDir = TheApp().GetProfileString("SYSTEM", kFolderKey, "");
  if (request.defaultDir.empty() || !FolderExists(request.defaultDir))
    request.defaultDir = DocumentsFolder();
  int index = stored;
  std::string chosen;
  if (!ask || !ask(request, chosen, index) || chosen.empty())
    return false;
  row = MovieExportTypeRow(index);
  TheApp().WriteProfileInt("SYSTEM", settingsKey, row);
  const size_t slash = chosen.rfind('/');
  if (slash != std::string::npos)
    TheApp().WriteProfileString("SYSTEM", kFolderKey, chosen.substr(0, slash + 1).c_str());
  path = WithExportExtension(chosen, g_aMovieExportTypes[row - 1].ext);
  // The dialog asked about the name it was given; a changed name is asked here.
  if (path != chosen && FileExists(path) &&
      Ui().ShowMessage("上書きの確認", path + "\r\nは既にあります。上書きしますか。", MsgIcon::Question,
                       MsgButtons::YesNo) != MsgAnswer::Yes)
    return false;
  return true;
}

bool FillMovieFrameSettings(int sourceWidth, int sourceHeight, int drawingHeight, int outputWidth, int count,
                            int intervalMs, int holdMs, MovieFrameSettings& s)
{
  if (sourceWidth <= 0 || sourceHeight <= 0 || outputWidth <= 0)
    return false;
  s.nSourceWidth = sourceWidth;
  s.nSourceHeight = sourceHeight;
  s.nOutputWidth = outputWidth;
  s.nOutputHeight = MovieOutputHeight(drawingHeight, sourceWidth, sourceHeight, outputWidth);
  s.fScale = float(outputWidth) / float(sourceWidth);
  s.nFrameCount = count;
  s.nFrameInterval = intervalMs;
  s.nHoldTime = holdMs;
  return s.nOutputHeight >= 2;
}

void ShowMovieExportResult(const std::string& caption, bool bOk, bool bGif, bool bCancelled, const std::string& error)
{
  if (bCancelled)
    return;
  if (bOk)
    Ui().ShowMessage(caption, bGif ? "アニメーションGIFを保存しました。" : "MP4を保存しました。", MsgIcon::Information,
                     MsgButtons::Ok);
  else
    ShowMovieExportMessage(caption, error);
}

void ShowMovieExportMessage(const std::string& caption, const std::string& text)
{
  Ui().ShowMessage(caption, text, MsgIcon::Warning, MsgButtons::Ok);
}
