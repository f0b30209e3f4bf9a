#pragma once
// A small, fully specified pseudo-random generator (xoshiro256** seeded by
// splitmix64) with its own uniform and normal draws, so that a seed gives the
// same sea on every compiler and standard library.
#include <cmath>
#include <cstdint>

namespace varenta::synth {

inline std::uint64_t splitmix64(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Mixes a seed with a stream number and a key into a new seed.
inline std::uint64_t mixSeed(std::uint64_t seed, std::uint64_t stream, std::uint64_t key)
{
    std::uint64_t s = seed ^ (stream * 0xD1B54A32D192ED03ull);
    splitmix64(s);
    s ^= key * 0x9E3779B97F4A7C15ull;
    return splitmix64(s);
}

class Random {
public:
    explicit Random(std::uint64_t seed = 1) { reseed(seed); }

    void reseed(std::uint64_t seed)
    {
        std::uint64_t s = seed;
        for (auto& w : s_)
            w = splitmix64(s);
        haveSpare_ = false;
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform in (0, 1]: safe for logarithms.
    double uniformOpenZero() { return 1.0 - uniform(); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Integer in [0, n).
    std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : static_cast<std::uint64_t>(uniform() * static_cast<double>(n)); }

    // Standard normal (Box-Muller, the second value kept for the next call).
    double normal()
    {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        const double r = std::sqrt(-2.0 * std::log(uniformOpenZero()));
        const double a = 6.283185307179586 * uniform();
        spare_ = r * std::sin(a);
        haveSpare_ = true;
        return r * std::cos(a);
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t s_[4]{};
    double spare_ = 0.0;
    bool haveSpare_ = false;
};

}  // namespace varenta::synth
