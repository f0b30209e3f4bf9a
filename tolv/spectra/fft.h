#pragma once
// The radix-2 transform and the small wave helpers shared by the spectral
// procedures (power spectrum, long-period filter, directional estimator
// input).  Single precision throughout, as the rest of the spectral code.
#include "common/status.h"

#include <span>

// Loops compiled for AVX2 and for plain x86-64, the one to run chosen when
// the program loads.  The thread sanitizer cannot run such load-time
// choosers, so under it only the plain version is built.
#if defined(__SANITIZE_THREAD__)
#define VARENTA_AVX2_CLONES
#else
#define VARENTA_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#endif

namespace varenta {

// In-place complex transform of N points, radix 2, decimation in frequency.
// The arrays hold elements 1..N of the classic 1-based formulation at
// indices 0..N-1.
//
//   direction -1: X[k] = (1/N) * sum x[n] * exp(+2 pi i n k / N)
//   direction +1: X[k] =         sum x[n] * exp(-2 pi i n k / N)
//
// so that -1 followed by +1 returns the input.  Per stage the butterflies
// are  dr = re[i]-re[l], di = im[i]-im[l]; re[i] += re[l]; im[i] += im[l];
// re[l] = cs*dr + sn*di; im[l] = cs*di - sn*dr  with the angle of the j-th
// butterfly of a stage (j - 1) times the step 6.283185 / span2 in single
// precision, sn = -sin for direction -1 and +sin for +1; then the
// classic bit-reversal swap loop, and for direction -1 the division by N.
// The twiddles and swap pairs of each N are cached per thread.
//
// Refused (Status::DataFormat, arrays untouched): N not a power of two or
// below 2, direction other than -1/+1, arrays shorter than N.
Status Fft(int n, int direction, std::span<float> re, std::span<float> im);

// True for 2, 4, 8, ...
bool isPowerOfTwo(long long n);

// The power of two above n (strictly): 1024 -> 2048, 2048 -> 4096,
// 2047 -> 2048.  This is the transform length of a measurement with n
// samples per channel.  0 for n < 1.
int fftLengthAbove(long long n);

// The largest power of two not above n (at least 1).  0 for n < 1.
int powerOfTwoAtMost(long long n);

// Wave number k (rad/m) of a wave of period t (s) in water of depth h (m),
// by an explicit approximation of the linear dispersion relation.  0 when
// t or h is not positive.
float WaveNumber(float t, float h);

// Hyperbolic cosine and sine in single precision.  Both limit the argument
// to +-89.4, the largest for which the result still fits a float, so that
// no call overflows.
float CoshF(float x);
float SinhF(float x);

// Common logarithm by ln x / 2.30258; 1E-08 for x = 0 (and, rather than a
// NaN, for negative x).
float Log10F(float x);

}  // namespace varenta
