#pragma once
// Discrete Fourier transform of any length, for the burst statistics: the
// record is transformed as it stands (n samples, no zero padding), so a
// wave whose period divides the record length falls on one bin exactly.
//
// Mixed radix for the small prime factors of n (every sample count the
// logger makes is 60 x duration / dt, so its factors are small); a length
// with a prime factor above 64 goes through the chirp transform on a power
// of two.  Double precision.
#include <complex>
#include <vector>

namespace varenta {

class Dft {
public:
    using Complex = std::complex<double>;

    // A plan for length n (n >= 1).
    explicit Dft(int n);
    int size() const { return n_; }

    // X[k] = sum x[j] exp(-2 pi i j k / n), in place.
    void forward(std::vector<Complex>& x) const;
    // x[j] = (1/n) sum X[k] exp(+2 pi i j k / n), in place; forward then
    // inverse returns the input.
    void inverse(std::vector<Complex>& x) const;

private:
    void transform(std::vector<Complex>& x, bool inverse) const;
    void stages(std::vector<Complex>& x, bool inverse) const;

    int n_ = 0;
    std::vector<int> factors_;
    std::vector<int> order_;                // input index of each position before the stages
    std::vector<Complex> twiddle_;          // exp(-2 pi i k / n), k = 0..n-1
    std::vector<Complex> twiddleConj_;      // exp(+2 pi i k / n)
    mutable std::vector<Complex> scratch_;
    // Chirp transform for large prime factors.
    bool chirp_ = false;
    int m_ = 0;                             // power of two >= 2n - 1
    std::vector<Complex> chirpW_;           // exp(-i pi k^2 / n)
    std::vector<Complex> chirpB_;           // transformed kernel
    std::vector<Dft> innerPlan_;
};

}  // namespace varenta
