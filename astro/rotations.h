#pragma once
// Coordinate rotations of a vector in place (the frame turns by phi radians
// about axis 1, 2 or 3), and the precession and nutation built from them.

// R1(phi): (x, y cos + z sin, -y sin + z cos).
void RotateX(double v[3], double phiRad);
// R2(phi): (x cos - z sin, y, x sin + z cos).
void RotateY(double v[3], double phiRad);
// R3(phi): (x cos + y sin, -x sin + y cos, z).
void RotateZ(double v[3], double phiRad);

// v from J2000 to the mean equator of date: P = R3(-z) R2(theta) R3(-zeta),
// with the angles for J2000 as start and an interval of t centuries.
void PrecessFromJ2000(double v[3], double centuries);
// The inverse: P transposed, R3(z), then R2(-theta), then R3(zeta).
void PrecessToJ2000(double v[3], double centuries);

// v from the mean to the true equator of date: N = R1(-eps) R3(-dpsi) R1(eps0)
// with eps = eps0 + deps; and its inverse.
void NutateMeanToTrue(double v[3], double dpsiRad, double depsRad, double eps0Rad);
void NutateTrueToMean(double v[3], double dpsiRad, double depsRad, double eps0Rad);
