#pragma once
// Process-wide settings of the non-gravitational force model. They are fed
// only by the settings reader and the options sheet, and read-only while an
// integration runs.

// Scale distance r0 (AU) of the CO2 sublimation law and its normalisation,
// N = r0^-2.15 (1 + r0^-5.093)^4.6142, so that g(1 AU) = 1.
extern double g_dCo2R0;
extern double g_dCo2Norm;
// Activity shift DT (days) of the non-gravitational terms.
extern double g_dNonGravDt;

// r0 outside 1..200 AU (or not a number) becomes 10.8; sets g_dCo2R0 and g_dCo2Norm.
void SetCo2ScaleDistance(double r0);
// DT with |DT| <= 400 days is kept, anything else (or not a number) becomes 0.
void SetNonGravDt(double dt);
