#pragma once
// Hashes of the engine's results, bit for bit: the solution fingerprint test
// records them, and the benchmarks print them beside each timing so that a
// faster run that changed a bit shows.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/observation_record.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"

// FNV-1a over the bytes given to it.
class Fingerprint {
public:
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) h_ = (h_ ^ b[i]) * 1099511628211ull;
  }
  void Double(double v) { Bytes(&v, sizeof v); }
  void Int(int v) { Bytes(&v, sizeof v); }
  void Text(const std::string& s) {
    Int(static_cast<int>(s.size()));
    Bytes(s.data(), s.size());
  }
  uint64_t Value() const { return h_; }

private:
  uint64_t h_ = 14695981039346656037ull;
};

inline void AddElements(Fingerprint& f, const IntegrationState& s) {
  const ElementBlock& el = s.m_el;
  for (double v : {el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dA1, el.m_dA2, el.m_dA3,
                   el.m_dEpoch, el.m_dA, el.m_dN, el.m_dM, s.m_dEpoch})
    f.Double(v);
}

inline void AddResiduals(Fingerprint& f, const DetClass& det) {
  for (int i = 0; i < det.m_nObsCount; ++i) {
    const ObservationRecord& o = det.m_pOrbObs[i];
    f.Double(o.m_dResRa);
    f.Double(o.m_dResDec);
    f.Double(o.m_dHelioDist);
  }
}

inline void AddCovariance(Fingerprint& f, const OrbitEngine& e) {
  for (const auto& row : e.m_covariance)
    for (double v : row) f.Double(v);
  f.Int(e.m_nCovarianceSize);
  f.Int(e.m_bCovarianceValid);
  for (double v : {e.m_dErrT, e.m_dErrPeri, e.m_dErrNode, e.m_dErrIncl, e.m_dErrQ, e.m_dErrE, e.m_dErrA, e.m_dErrP,
                   e.m_dErrN, e.m_dSigma0, e.m_dCovarianceEpoch})
    f.Double(v);
}

// The elements, mean residual, residual pairs and covariance of a finished
// improvement as one hash.
inline uint64_t SolutionHash(const OrbitEngine& e, const DetClass& det)
{
  Fingerprint f;
  AddElements(f, e.m_state);
  f.Double(e.m_dMeanResidual);
  AddResiduals(f, det);
  AddCovariance(f, e);
  return f.Value();
}
