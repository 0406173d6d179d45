#pragma once
// Sexagesimal parts of a value (hours or degrees) rounded to the decimals of
// its last part before it is split, so that seconds or minutes that round to
// 60 are carried upwards and "60" never shows.

// whole, minutes and seconds of value (>= 0) rounded to `decimals` decimals of
// the seconds. The whole part is not wrapped (24 h is left to the caller).
void SplitSexagesimal(double value, int decimals, int& whole, int& minutes, double& seconds);
