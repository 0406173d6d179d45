#pragma once
// The parallel integration of an improvement run's varied orbits. The
// calling (user-interface) thread integrates the nominal orbit and keeps the
// windows alive, other threads integrate the varied orbits, and one producer
// thread computes the perturber positions of every step into a shared ring:
// the planetary-file reader is not safe for concurrent use, so during the run
// the producer is its only user. Every body reads the same entries, so the
// results equal those of the serial loop bit for bit.
//
// Shared words are read and written only through std::atomic_ref; each sits
// on a cache line of its own. The entries and times of the ring are plain
// data, published by the release store of the produced count and released
// for overwriting by each body's release store of its progress.
#include "engine/integration_state.h"

struct OrbitEngine;
class PerturberRowTable;
class EngineWindow;

inline constexpr int kRingEntries = 4096;         // entries of the ring (step i at slot i mod 4096)
inline constexpr int kRingLead = 4095;            // the producer's largest lead over the slowest body
inline constexpr int kRingBodyDone = 0x7fffffff;  // progress of a finished or absent body
inline constexpr int kRingCoordinates = 3 * kPerturbers;

struct alignas(64) RingProgressSlot {
  int m_nNext;  // next step index of the body whose slot this is, published every 64 steps
};

struct alignas(64) PerturberRing {
  double (*m_pEntries)[kRingCoordinates];  // [4096]: x of the 15 perturbers, then y, then z (AU, heliocentric)
  double* m_pTimes;                         // [4096]: time of each slot's entry, JD TT
  int m_nBodies;                            // bodies n of the run
  double m_dStart;                          // epoch + 5h: entry i is for start + (i + 1) h
  double m_dEpoch;                          // the run's epoch: entry i is for NewestPointTime(epoch, i + 1, h)
  double m_dStep;                           // h, days
  int m_nAsteroidSet;                       // the engine's set: 15 perturbers when not 0, else 10
  PerturberRowTable* m_pRowTable;           // the engine's active row table, or null (used by the producer alone)
  double* m_pLatest;                        // [46]: time and coordinates of the last entry produced
  int m_nEntryLimit;                        // entries the run can use (the last observation's step + margin)
  int m_nFinalCount;                        // entries produced, stored when the producer ends
  double m_dEphSeconds;                     // time the producer spent computing entries, s
  double m_dProducerCpu;                    // CPU seconds of the producer thread
  int m_nWorkerCpuMs;                       // CPU milliseconds of the body threads, summed atomically
  alignas(64) int m_nProduced;              // entries produced so far
  int m_bProducerEnded;                     // 1 once the producer produces no more
  alignas(64) int m_nGeneration;            // raised every 512 entries and at the end; bodies wait on it
  alignas(64) int m_nAbort;                 // 1 tells every thread to stop
  alignas(64) int m_nStatus;                // 0, or the first failure (set once)
  alignas(64) int m_nRunning;               // threads of the run still running; the caller waits on it
  RingProgressSlot m_progress[kMaxBodies];  // by the first body of each thread's group
};

// What a body thread is given and gives back.
struct BodyWorkerArgs {
  OrbitEngine* engine;
  IntegrationState* state;  // the thread's own copy of the run's record
  double* output;           // the improvement run's output array
  int result;               // IntegrateSerial's result
};

// The run with the varied orbits on threads. The result as IntegrateSerial
// gives it (0, -1, -2, -9 or a body's own code), or that of the serial
// fallback when the ring or a thread cannot be had. Statistics are added
// to the engine's m_nRingEntries, m_dEphSeconds, m_dProducerCpu,
// m_dWorkerCpu and m_dCallerCpu.
int IntegrateParallel(OrbitEngine* engine, EngineWindow* window, double* output, IntegrationState* state);

// The producer: entries until the run's end, an abort, or every body done. 0.
int EphemerisProducerThread(PerturberRing* ring);
// One thread's bodies: IntegrateSerial on its copy; a failure aborts the ring. 0.
int BodyWorkerThread(BodyWorkerArgs* args);

// Keeps the first failure in the status word, then tells every thread to stop.
void AbortPerturberRing(PerturberRing* ring, int status);
// The step's perturber positions from the ring into point 10 of m_dPert,
// waiting for the producer when needed: 0, or -1 on abort, on a time that
// does not match m_dTime (status -1) or when the producer ended short (-2).
int ReadPerturberRing(IntegrationState* state);
// True when the state has a ring and the ring was aborted.
bool PerturberRingAborted(const IntegrationState* state);
