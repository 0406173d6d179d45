#pragma once
// The observatory-code update: the Minor Planet Center's page of codes is
// merged into the local station file. Changed codes are replaced only when the
// user agrees (one question each), new codes are inserted in code order, codes
// known only locally stay. The old file is kept as "<file>.bak".
#include <string>
#include <string_view>
#include <vector>

#include "data/http_download.h"

// A line holding a code: more than 3 characters, the first three each a
// digit or an upper-case letter A-Z.
bool IsStationCodeLine(std::string_view line);

// The code lines of the page's <pre> block (or <PRE>), with &amp;, &lt; and
// &gt; replaced. False when the page has no such block.
bool ExtractStationCodeLines(std::string_view page, std::vector<std::string>& lines);

struct StationMergeCounts {
  int added = 0;
  int overwritten = 0;
  int localOnly = 0;
};

// Merges the page's code lines into the local lines. Each code whose line
// differs (trailing blanks aside) is overwritten only when Ui() answers Yes.
StationMergeCounts MergeStationCodeLines(std::vector<std::string>& local, const std::vector<std::string>& remote);

// The whole update for the orbit-determination view (its UpdateStationCodes):
// the page from the setting "OBSCODESURL", the station file of
// TheApp().m_szStationsFile. 0 when the file was rewritten, -1 on any failure
// (the file then untouched). Every outcome is shown through Ui(). The page's
// transfer shows its progress and is stopped through control when given.
int RunStationCodeUpdate(const HttpTimeouts* timeouts = nullptr, const TransferControl* control = nullptr);
