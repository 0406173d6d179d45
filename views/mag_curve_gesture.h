#pragma once
// The mouse gestures of the magnitude curve's plot band as plain functions
// of what was kept when a gesture started and how far the pointer moved.
// CMagCurveDlg's mouse handlers (mag_curve_gesture.cpp) keep that state
// and apply the results; the window only forwards its mouse events.

// What a point of the band lies on, in the order a click tests them.
enum class MagHit { None, LeftHandle, RightHandle, PeriHandle, PeriLine, AxisStrip, Plot };

// The cursor the handlers ask for: the default, the system hand, or the
// hand shown while a picture is dragged.
enum class MagCursor { Default, Hand, Pan };

// Distances of the hit tests, pixels.
inline constexpr double kMagHandleReach = 8;
inline constexpr double kMagPeriLineReach = 5;

// The day range after a wheel turn of delta (120 a notch, forward positive)
// over [t0, t1], the day at fraction u of the plot's width staying in
// place: the span times 1.25^(-delta/120), a tenth of that exponent with
// Shift, kept within 2 .. 146100 days.
void WheelZoomRange(double t0, double t1, double u, double delta, bool bShift, double& left, double& right);

// The day range [left0, right0] panned by dx pixels across a plot width;
// false (nothing changes) for moves of less than 3 pixels.
bool PanRange(double left0, double right0, double plotWidth, double dx, double& left, double& right);

// The range when the perihelion line is dragged dx pixels: the range
// follows the pointer, T kept at least 10 pixels inside either edge.
void PeriDragRange(double left0, double right0, double T, double plotWidth, double dx, double& left, double& right);

// The drawn top of the magnitude axis after dragging beside it by dy
// pixels (down widens), the bottom mmax staying: at most mmax - 0.2, at
// least -12.
double MagAxisTop(double mmax, double startTop, double plotHeight, double dy);

// The magnitude offset after a right-button pan of dy pixels, within
// [-limit, limit].
double VPanOffset(double startOffset, double dy, double magPerPixel, double limit);

// The magnitude a curve handle is dragged to: the start magnitude moved by
// dy pixels scaled by the lever and gain, kept within 10 % of the span
// beyond the range [mmin, mmax].
double HandleTarget(double startMag, double dy, double plotHeight, double mmin, double mmax, double lever,
                    double gain);
