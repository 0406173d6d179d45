#pragma once
// The developer dialog's two checks that print into its log: a fixed
// ephemeris of a parabolic test comet, and the planets' places from the
// planetary file.
#include <string>

// The header lines and 41 daily rows (CR LF ended) of the test comet
// (T 2002 September 9.418, q 0.49467 AU, e 1) from 2002 August 4.792.
std::string TestEphemerisText();

// "%02d %+18.15f %+18.15f %+18.15f\r\n": JPL body 1-10 relative to the Sun at
// JD 2415000.5 (zeros when the file cannot give it).
std::string PlanetaryDumpLine(int body);
