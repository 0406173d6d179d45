#pragma once
// Covariance and one-sigma uncertainties of the last correction, from the
// normal equations left in the state.
struct OrbitEngine;
struct IntegrationState;

// σ0 from the weighted residuals; N⁻¹ column by column; covariance = σ0² N⁻¹
// (σ0 in radians) with its size, epoch (the state's start epoch) and
// observation signature; the uncertainties by parameter position (angles in
// degrees) and those of a (1/a for e > 0.97), the period and the mean
// motion. A singular or non-finite inverse leaves the covariance and the
// uncertainties marked invalid.
void ComputeImprovementCovariance(OrbitEngine* engine, const IntegrationState* state);
