// The best fit a sin + b cos + c of a known frequency to 16-bit samples: how loud a
// converter left a tone and how much else it added. Plain C++, so that the native
// benchmark can use it too.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>

struct SineFit {
  double amplitude = 0;  // of the fitted sine
  double residual = 0;   // mean power of what the fit leaves
};

// Fits y[from, to) sampled at rate; an empty range gives an empty fit.
inline SineFit FitSine(const int16_t* y, size_t from, size_t to, double frequency, double rate) {
  const double kPi = 3.14159265358979323846;
  SineFit fit;
  if (to <= from) return fit;
  double m[3][4] = {};
  for (size_t n = from; n < to; ++n) {
    double w = 2 * kPi * frequency * (double)n / rate;
    double basis[3] = {std::sin(w), std::cos(w), 1.0};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[i][j] += basis[i] * basis[j];
      m[i][3] += basis[i] * y[n];
    }
  }
  for (int i = 0; i < 3; ++i)
    for (int k = i + 1; k < 3; ++k) {
      double f = m[k][i] / m[i][i];
      for (int j = i; j < 4; ++j) m[k][j] -= f * m[i][j];
    }
  double c[3];
  for (int i = 2; i >= 0; --i) {
    double s = m[i][3];
    for (int j = i + 1; j < 3; ++j) s -= m[i][j] * c[j];
    c[i] = s / m[i][i];
  }
  fit.amplitude = std::hypot(c[0], c[1]);
  for (size_t n = from; n < to; ++n) {
    double w = 2 * kPi * frequency * (double)n / rate;
    double e = y[n] - (c[0] * std::sin(w) + c[1] * std::cos(w) + c[2]);
    fit.residual += e * e;
  }
  fit.residual /= (double)(to - from);
  return fit;
}
