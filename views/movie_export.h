#pragma once
// What the orbit diagram and the globe share when they export a video: the
// default file name, the choice of the file through the window's save
// dialog, the frame settings and the closing message.
#include <functional>
#include <string>

#include "platform/video/movie_writer.h"

// "prefix-name-kindYYYY-Mon-D.D.ext": the name trimmed ("object" when
// empty), blanks, quotes and the characters *, /, :, <, >, ?, \ and | as "_".
std::string MakeExportFileName(const std::string& prefix, const std::string& name, const std::string& kind,
                               double jd, const std::string& ext);

// The save dialog a window shows: the filter, the default name and
// extension, and the 1-based type it starts on.
struct MovieSaveRequest {
  std::string filter;
  std::string defaultName;
  std::string defaultExt;
  int filterIndex = 1;
  // The folder the dialog opens in: the last one a video went to, else Documents.
  std::string defaultDir;
};
// Shows the dialog; false when cancelled, else the path and the chosen type.
using MovieSaveAsk = std::function<bool(const MovieSaveRequest& request, std::string& path, int& filterIndex)>;

// The export's file: the dialog starts on the type stored under settingsKey
// (section "SYSTEM"), the chosen type is stored back, and a path whose
// extension is not the type's gets it, with the overwrite question when that
// file exists. The dialog opens in the folder of the last export (kept under
// "MOVIEEXPORTFOLDER"), else in Documents. False when the user stops.
bool ChooseMovieFile(const char* settingsKey, const std::string& prefix, const std::string& name,
                     const std::string& kind, double jd, const MovieSaveAsk& ask, std::string& path, int& row);

// The settings of the fill rule for a client area of sourceWidth x
// sourceHeight whose picture is drawingHeight high; false when the area is
// empty or the frame would be under 2 pixels high.
bool FillMovieFrameSettings(int sourceWidth, int sourceHeight, int drawingHeight, int outputWidth, int count,
                            int intervalMs, int holdMs, MovieFrameSettings& s);

// The message after a writer: its error text, the saved message of the type,
// or nothing when the user cancelled.
void ShowMovieExportResult(const std::string& caption, bool bOk, bool bGif, bool bCancelled,
                           const std::string& error);
// A message of an exporting window (caption, text), as a warning.
void ShowMovieExportMessage(const std::string& caption, const std::string& text);
