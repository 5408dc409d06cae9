#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace tb {

/// Every random draw of the program comes from here: uniform values in [0, 1).
class RandomSource {
public:
    virtual ~RandomSource() = default;
    /// A uniform value in [0, 1).
    virtual double next() = 0;
    /// The documented reseed points call this; production mixes the clock in again.
    virtual void reseed() = 0;
};

/// The production source: a 64-bit Mersenne Twister seeded from the system's
/// entropy and the clock.
class ProductionRandom final : public RandomSource {
public:
    ProductionRandom();
    double next() override;
    void reseed() override;

private:
    std::mt19937_64 engine_;
    std::uint64_t mix_ = 0;
};

/// A source that gives the same draws on every run for the same seed. Its reseed()
/// stirs a counter in instead of the clock, so the reseed points keep their place
/// without making the draws depend on time.
class SeededRandom final : public RandomSource {
public:
    explicit SeededRandom(std::uint64_t seed);
    double next() override;
    void reseed() override;

private:
    std::mt19937_64 engine_;
    std::uint64_t mix_ = 0;
    std::uint64_t reseeds_ = 0;
};

/// A source that returns the values it was given, in order, starting over at the
/// end of the script. Tests use it to make every draw deterministic.
class ScriptedRandom final : public RandomSource {
public:
    explicit ScriptedRandom(std::vector<double> script = { 0.0 });
    double next() override;
    void reseed() override { ++reseeds_; }

    void setScript(std::vector<double> script);
    int reseeds() const { return reseeds_; }
    std::size_t draws() const { return draws_; }

private:
    std::vector<double> script_;
    std::size_t position_ = 0;
    std::size_t draws_ = 0;
    int reseeds_ = 0;
};

/// A random whole number from 1 to n: floor(r * n) + 1.
int randomWhole(RandomSource& random, int n);

/// The uniform value that makes randomWhole(·, n) return k; for scripting tests.
double drawFor(int k, int n);

} // namespace tb
