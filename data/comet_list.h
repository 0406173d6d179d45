#pragma once
// The comet element list "AllCometEls.txt" in the data folder: its download,
// and the readable designation and name of each comet, looked up by the packed
// designation of columns 1-12 of an observation line.
#include <string>
#include <string_view>
#include <unordered_map>

#include "data/http_download.h"

// The older comet file that a stored "COMETELSURL" may still name; the list
// replaced it.
inline constexpr const char* kOldCometElsUrl = "https://www.minorplanetcenter.net/iau/MPCORB/CometEls.txt";

// Packed designation (columns 1-12, blanks included) -> columns 103-158 trimmed.
extern std::unordered_map<std::string, std::string> g_mapCometNames;
extern int g_bCometNamesLoaded;        // 1 after a load that found names
extern int g_bCometElsDownloadTried;   // 1 once AppendCometName tried a download this run

// The list's path: the data folder followed by "AllCometEls.txt".
std::string CometElementsPath();
// The setting "COMETELSURL" trimmed; the default list when it is empty or
// names the older comet file.
std::string CometElementsUrl();

// Downloads the list over the old one. 1 when written; 0 (old list kept) when
// there was no connection, the answer was not status 200, was cut short,
// stalled, was stopped through control, exceeded the list's size bound, or
// does not read as a comet list (nearly every line a one-line comet orbit).
// Shows no message.
int DownloadCometElements(const HttpTimeouts* timeouts = nullptr, const TransferControl* control = nullptr);

// Refills g_mapCometNames from the list. 1 when it holds a name, else 0.
int LoadCometNames();

// The name of a packed designation (12 characters), with fall-backs to the
// numbered comet, the parent of a fragment and the first fragment of a parent.
// 1 with *name set, 0 when absent.
int FindCometName(std::string_view packed, std::string& name);

// Appends the comet's name to its designation text ("1P" -> "1P/Halley",
// "C/1995 O1" -> "C/1995 O1 (Hale-Bopp)"); loads the names, and downloads
// the list at most once per run when it is missing or lacks the comet.
// Leaves the text as it was when anything fails. A download shows its
// progress and is stopped through control when given.
void AppendCometName(std::string_view packed, std::string& text, const TransferControl* control = nullptr);
