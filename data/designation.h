#pragma once
// Packed MPC designations: the 12 designation columns of an 80-column
// observation line (columns 1-5 number, 6-12 provisional designation) and the
// packed forms built from the ADES identifiers. Designations are ASCII; a
// shorter input is read as if padded with blanks.
#include <string>
#include <string_view>

// Readable text of the 12 packed columns: "(433)", "(1) = 2005 AA", "  29P",
// "    C/2019 Q4", "2040 P-L", "    S/2019 J 5", or the columns trimmed when
// nothing matches (a temporary designation or a name).
std::string UnpackDesignation(std::string_view desig);

// Readable provisional designation of the 7 packed characters (columns 6-12):
// "1995 XA", "2005 AB12", "1995 O1", "2024 AS620" (extended form "_OA000H").
std::string UnpackProvisionalDesignation(std::string_view prov);

// 1 and the 7 packed characters for a minor-planet provisional designation
// such as "2005 AB12" (the extended form from cycle 620); 0 when it does not qualify.
int PackMinorPlanetProvisional(std::string_view text, std::string& prov);

// 1 and the 7 packed characters for the provisional part of a comet
// designation such as "1995 O1"; 0 when it does not qualify (fragments included).
int PackCometProvisional(std::string_view text, std::string& prov);

// The 12 packed columns for the ADES identifiers: permID first, then provID,
// then the tracklet identifier placed as written; 12 blanks at worst.
std::string PackAdesDesignation(std::string_view permID, std::string_view provID, std::string_view trkSub);
