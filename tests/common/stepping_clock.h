#pragma once
// An engine clock that moves on by a fixed number of milliseconds at every
// reading, so that the busy guard pumps and the cancel dialog comes up after
// a known number of polls.
#include <cstdint>

#include "engine/orbit_engine.h"

class SteppingClock : public EngineClock {
public:
  explicit SteppingClock(uint32_t stepMs) : m_step(stepMs) {}
  uint32_t TickMs() override { return m_now += m_step; }
  void SleepMs(uint32_t ms) override { m_now += ms; }
  uint32_t m_now = 1000;

private:
  uint32_t m_step;
};
