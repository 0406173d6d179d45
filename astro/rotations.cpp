#include "astro/rotations.h"

#include <cmath>

#include "astro/frames.h"

void RotateX(double v[3], double phiRad) {
  const double c = std::cos(phiRad), s = std::sin(phiRad);
  const double y = v[1] * c + v[2] * s;
  const double z = -v[1] * s + v[2] * c;
  v[1] = y;
  v[2] = z;
}

void RotateY(double v[3], double phiRad) {
  const double c = std::cos(phiRad), s = std::sin(phiRad);
  const double x = v[0] * c - v[2] * s;
  const double z = v[0] * s + v[2] * c;
  v[0] = x;
  v[2] = z;
}

void RotateZ(double v[3], double phiRad) {
  const double c = std::cos(phiRad), s = std::sin(phiRad);
  const double x = v[0] * c + v[1] * s;
  const double y = -v[0] * s + v[1] * c;
  v[0] = x;
  v[1] = y;
}

void PrecessFromJ2000(double v[3], double centuries) {
  double zeta, z, theta;
  PrecessionAngles(0, centuries, zeta, z, theta);
  RotateZ(v, -zeta);
  RotateY(v, theta);
  RotateZ(v, -z);
}

void PrecessToJ2000(double v[3], double centuries) {
  double zeta, z, theta;
  PrecessionAngles(0, centuries, zeta, z, theta);
  RotateZ(v, z);
  RotateY(v, -theta);
  RotateZ(v, zeta);
}

void NutateMeanToTrue(double v[3], double dpsiRad, double depsRad, double eps0Rad) {
  RotateX(v, eps0Rad);
  RotateZ(v, -dpsiRad);
  RotateX(v, -(eps0Rad + depsRad));
}

void NutateTrueToMean(double v[3], double dpsiRad, double depsRad, double eps0Rad) {
  RotateX(v, eps0Rad + depsRad);
  RotateZ(v, dpsiRad);
  RotateX(v, -eps0Rad);
}
