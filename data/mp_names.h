#pragma once
// The minor-planet name index: "MpNames.txt" in the data folder, one line
// "<number> <name>" per named numbered minor planet, built from the MPC
// catalogue "MPCORB.DAT" when missing or older than it, and loaded into
// g_mapMpNames for the "(433) Eros" display. No function here shows a message.
#include <string>
#include <unordered_map>

// Minor-planet number as decimal text without leading zeros ("433") -> name.
extern std::unordered_map<std::string, std::string> g_mapMpNames;
// Set when g_mapMpNames was filled from the index; cleared when a load starts.
extern int g_bMpNamesLoaded;
// Set by the first rebuild of this run; a rebuild is never tried twice.
extern int g_bMpNamesRebuildTried;

// The catalogue's path: setting "WHOIS_MPCORB" of [SYSTEM] (blanks trimmed),
// else "MPCORB.DAT" in the data folder.
void GetMpcorbPath(std::string& path);
// Writes the index from the catalogue (to a temporary file renamed over the
// old index); true when at least one name was written. A failed or empty
// build leaves the old index as it was.
bool BuildMpNamesIndex();
// Fills g_mapMpNames from the index; true when the map holds an entry.
bool LoadMpNames();
// Loads the index, rebuilding it first (once a run, under the busy cursor)
// when it is missing, older than the catalogue or empty; true when
// g_mapMpNames can be used.
bool EnsureMpNamesLoaded();
