#pragma once
// One object's orbital elements as read from an element file or a catalogue
// line. Angles in degrees, J2000 ecliptic; times are Julian days (TT). Every
// double that the line's layout does not carry is -1.0.
#include <string>

struct ElementRecord {
  std::string m_szKey;         // the layout's identifier columns (at most 12 characters)
  std::string m_szName;        // readable name, at most 42 characters (UTF-8)
  double m_dEpoch = -1.0;      // epoch of osculation, JD TT
  double m_dT = -1.0;          // perihelion time, JD TT
  double m_dM = -1.0;          // mean anomaly at the epoch, degrees
  double m_dQ = -1.0;          // perihelion distance, AU
  double m_dA = -1.0;          // semimajor axis, AU
  double m_dE = -1.0;          // eccentricity
  double m_dPeri = -1.0;       // argument of perihelion, degrees (J2000 ecliptic)
  double m_dNode = -1.0;       // longitude of the ascending node, degrees (J2000 ecliptic)
  double m_dIncl = -1.0;       // inclination, degrees (J2000 ecliptic)
  double m_dH1 = -1.0;         // comet total-magnitude constant H1, mag
  double m_dH = -1.0;          // minor-planet absolute magnitude H, mag
  double m_dK1 = -1.0;         // comet total-magnitude slope K1
  double m_dMagSpare = -1.0;   // second (nuclear) slope K2: no layout carries it; 0 after layout 3
  double m_dG = -1.0;          // minor-planet slope parameter G
  int m_nLayout = 0;           // 1 to 4: the line layout the record came from
  int m_bMpcorb = 0;           // 1 when parsed from a catalogue (MPCORB) line
};
