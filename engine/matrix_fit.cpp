#include "engine/matrix_fit.h"

#include <cmath>

#include "astro/time_scales.h"
#include "platform/numbers.h"

namespace {

constexpr int kJacobiMaxRotations = 100;
constexpr double kJacobiNegligible = 1e-300;

inline double& At(double* m, int i, int j) { return m[kMatrixStride * i + j]; }
inline double At(const double* m, int i, int j) { return m[kMatrixStride * i + j]; }

// The off-diagonal element of largest magnitude (first one on ties); its magnitude.
double LargestOffDiagonal(const double* W, int n, int& p, int& q) {
  double best = -1.0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      if (std::fabs(At(W, i, j)) > best) {
        best = std::fabs(At(W, i, j));
        p = i;
        q = j;
      }
  return best;
}

// Columns p and q of m turned by (c, s).
void RotateColumns(double* m, int n, int p, int q, double c, double s) {
  for (int i = 0; i < n; ++i) {
    const double mp = At(m, i, p), mq = At(m, i, q);
    At(m, i, p) = c * mp - s * mq;
    At(m, i, q) = s * mp + c * mq;
  }
}

void RotateRows(double* m, int n, int p, int q, double c, double s) {
  for (int j = 0; j < n; ++j) {
    const double mp = At(m, p, j), mq = At(m, q, j);
    At(m, p, j) = c * mp - s * mq;
    At(m, q, j) = s * mp + c * mq;
  }
}

}  // namespace

int CholeskyDecompose(const double* A, int n, double* L) {
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) {
      double x = At(A, i, j);
      for (int k = 0; k < j; ++k) x -= At(L, i, k) * At(L, j, k);
      if (j < i) {
        At(L, i, j) = x / At(L, j, j);
      } else if (x > 0.0) {
        At(L, i, i) = std::sqrt(x);
      } else {
        return 0;
      }
    }
    for (int j = i + 1; j < n; ++j) At(L, i, j) = 0.0;
  }
  return 1;
}

void JacobiEigenSymmetric(const double* A, int n, double* values, double* vectors) {
  double W[kMatrixStride * kMatrixStride];
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      At(W, i, j) = At(A, i, j);
      At(vectors, i, j) = i == j ? 1.0 : 0.0;
    }
  for (int rotation = 0; rotation < kJacobiMaxRotations && n >= 2; ++rotation) {
    int p = 0, q = 1;
    if (LargestOffDiagonal(W, n, p, q) < kJacobiNegligible) break;
    const double theta = (At(W, q, q) - At(W, p, p)) / (2.0 * At(W, p, q));
    const double t = (theta >= 0.0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
    const double c = 1.0 / std::sqrt(t * t + 1.0);
    const double s = t * c;
    RotateColumns(W, n, p, q, c, s);
    RotateRows(W, n, p, q, c, s);
    RotateColumns(vectors, n, p, q, c, s);
  }
  for (int i = 0; i < n; ++i) values[i] = At(W, i, i);
  // Insertion sort into decreasing order; a value moves ahead only past strictly smaller ones.
  for (int i = 1; i < n; ++i) {
    const double v = values[i];
    double column[kMatrixStride];
    for (int r = 0; r < n; ++r) column[r] = At(vectors, r, i);
    int j = i;
    for (; j > 0 && values[j - 1] < v; --j) {
      values[j] = values[j - 1];
      for (int r = 0; r < n; ++r) At(vectors, r, j) = At(vectors, r, j - 1);
    }
    values[j] = v;
    for (int r = 0; r < n; ++r) At(vectors, r, j) = column[r];
  }
}

double FitErrorGrowthTime(const double* times, const double* errors, int n) {
  int m = 0;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int i = 0; i < n; ++i) {
    if (!(std::fabs(errors[i]) > 0.0)) continue;
    const double x = times[i], y = std::log(std::fabs(errors[i]));
    ++m;
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  if (m < 3) return 0.0;
  const double D = m * sxx - sx * sx;
  if (std::fabs(D) < 1e-30) return 0.0;
  const double slope = (m * sxy - sy * sx) / D;
  return slope > 0.0 ? 1.0 / slope : 0.0;
}

void FormatTtAsUtc(double jdTT, std::string& text) {
  double year = 0, month = 0, day = 0;
  JdToCalendar(DeltaT(kDeltaTTtToUt, jdTT), year, month, day);
  const double fraction = day - std::trunc(day);
  day = std::trunc(day);
  double hour = std::trunc(fraction * 24.0);
  const double minutes = (fraction - hour / 24.0) * 1440.0;
  double minute = std::trunc(minutes);
  double seconds = (minutes - minute) * 60.0;
  if (seconds >= 59.9995) {
    seconds = 0.0;
    minute += 1.0;
  }
  if (minute >= 60.0) {
    minute -= 60.0;
    hour += 1.0;
  }
  if (hour >= 24.0) {
    hour -= 24.0;
    // The day step of CarryDateTime: a minute of 59.5 at 23 h rounds into the next day.
    double h = 23.0, mi = 59.5;
    CarryDateTime(year, month, day, h, mi);
  }
  text = FormatC("%d/%d/%d %d:%02d:%06.3f UTC", static_cast<int>(year), static_cast<int>(month),
                 static_cast<int>(day), static_cast<int>(hour), static_cast<int>(minute), seconds);
}
