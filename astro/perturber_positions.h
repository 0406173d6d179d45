#pragma once
// Rows of perturber positions for the integrator: for consecutive times, the
// heliocentric positions (AU, J2000 equatorial) of Mercury to Pluto and the
// Moon from the planetary file, and of the perturbing asteroids of a
// PerturberSet from the perturbing-asteroid store.
//
// Uses the planetary reader's process-wide record buffer: not safe for
// concurrent use (during a parallel integration only its producer thread calls it).

// A row: ten triples for the bodies 0-9 in BodyIndex order, then five
// triples for the asteroid slots 10-14 (slot 10 + i holds the set's i-th member).
inline constexpr int kPerturberRowCoordinates = 45;
// Each coordinate of an asteroid position that could not be had.
inline constexpr double kMissingAsteroidCoordinate = 9999.9;

// Asteroid positions that could not be supplied (one per member and time, or
// one per row when no store is loaded); read and reset by the integrator.
extern long g_nAsteroidEphMisses;

// Fills count rows of kPerturberRowCoordinates for the times t0, t0 + step, ...
// mask: the first ten characters are read, '1' for a body to compute (the
// Earth or the Moon brings both series); bodies not in the mask get zeros.
// A mask shorter than ten characters (or null) gives -2 with nothing written.
// With perturberSet 1-6 the five asteroid slots are 9999.9 except for the
// members the store supplies; with set 0 (or any value outside 1-6) they are
// left as they were. Returns -5 when no planetary file is open, -1 when a time
// is before the start or not before the end of the file's span or a record
// cannot be read (rows already filled stay), 0 otherwise (also for count < 1).
int JplBodiesForIntegrator(double t0, double step, int count, const char* mask, double* rows, int perturberSet);
