#pragma once
// Where the scan dialog's searches against known objects find their
// catalogues: the minor-planet catalogue "MPCORB.DAT" and the comet list
// "AllCometEls.txt" (the latter received when missing).
#include <functional>
#include <string>

inline constexpr const char* kMpcorbFileName = "MPCORB.DAT";
inline constexpr const char* kCometElementsFileName = "AllCometEls.txt";
inline constexpr const char* kCometNoteReceived = "AllCometEls.txt(既知の彗星の軌道要素)が無かったので受信しました";
inline constexpr const char* kCometNoteStillMissing =
    "AllCometEls.txt(既知の彗星の軌道要素)が見つからないので、彗星との照合は飛ばしました";
inline constexpr const char* kCometNoteNotReceived =
    "AllCometEls.txt(既知の彗星の軌道要素)を受信できなかったので、彗星との照合は飛ばしました";

// The path of "MPCORB.DAT", first found of: the setting "WHOIS_MPCORB" of
// [SYSTEM], the data folder, the ephemeris folder; "" when none exists.
std::string FindMpcorbFile();

// The path of "AllCometEls.txt" in the data folder, or "". When the file is
// missing it is received first (under the wait cursor), and note says what
// happened for the log; note is empty when the file was there. download
// stands in for DownloadCometElements (1 received, 0 not) when given.
std::string FindCometElementsFile(std::string& note, const std::function<int()>& download = {});
