#pragma once
// What a finished download must show before it may replace the user's file:
// an error page, a broken archive or a body cut short by a dropped connection
// must never take the place of a good catalogue.
#include <functional>
#include <string>

// How the received body is to be read.
struct ReceivedFileFacts {
  std::string displayName;  // "MPCORB.DAT", "itf.txt.gz", named in the messages
  bool gzip = false;         // a gzip stream: a ".gz" name or Content-Encoding gzip
  bool catalogue = true;     // once stored, read by the element-catalogue reader
  bool lengthKnown = false;  // the server announced the length and all of it came
};

// "" when the file at workPath may replace the target; otherwise why not, in
// the program's words (ending with the note that the old file stays). A gzip
// stream must inflate to its end with a good CRC-32 and length; a catalogue
// must open with the lines its reader accepts and hold no web page; a plain
// catalogue that came without a length must end in a whole catalogue line.
// stop is asked between blocks of the check; *stopped is set when it said so
// (the result is then "").
std::string CheckReceivedFile(const std::string& workPath, const ReceivedFileFacts& facts,
                              const std::function<bool()>& stop, bool* stopped);

// The sentence that ends every refusal of a download.
inline constexpr const char* kOldFileKept = "元のファイルはそのまま残してあります。";
