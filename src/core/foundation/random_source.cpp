#include "core/foundation/random_source.h"

#include <chrono>
#include <cmath>

namespace tb {

namespace {

std::uint64_t clockTicks()
{
    return static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

// splitmix64's finaliser: spreads a word's bits over all 64.
std::uint64_t stir(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

ProductionRandom::ProductionRandom()
{
    std::random_device device;
    std::seed_seq seed { device(), device(), static_cast<unsigned>(clockTicks()),
        static_cast<unsigned>(clockTicks() >> 32) };
    engine_.seed(seed);
}

double ProductionRandom::next()
{
    // 53 random bits give every double in [0, 1) on a uniform grid, never 1. XOR with a
    // fixed word maps uniform words to uniform words, so the clock mixed in by reseed()
    // keeps every draw uniform.
    return static_cast<double>((engine_() ^ mix_) >> 11) * 0x1.0p-53;
}

void ProductionRandom::reseed()
{
    // The generators reseed several times per question; seeding the engine's whole
    // state each time would cost more than the question itself, so the clock is
    // stirred into one word instead (splitmix64's finaliser).
    mix_ = stir(mix_ ^ clockTicks());
}

SeededRandom::SeededRandom(std::uint64_t seed)
    : engine_(seed)
{
}

double SeededRandom::next()
{
    return static_cast<double>((engine_() ^ mix_) >> 11) * 0x1.0p-53;
}

void SeededRandom::reseed()
{
    mix_ = stir(mix_ ^ ++reseeds_);
}

ScriptedRandom::ScriptedRandom(std::vector<double> script)
{
    setScript(std::move(script));
}

void ScriptedRandom::setScript(std::vector<double> script)
{
    if (script.empty())
        script.push_back(0.0);
    script_ = std::move(script);
    position_ = 0;
}

double ScriptedRandom::next()
{
    const double value = script_[position_];
    position_ = (position_ + 1) % script_.size();
    ++draws_;
    return value;
}

int randomWhole(RandomSource& random, int n)
{
    const int k = static_cast<int>(std::floor(random.next() * n)) + 1;
    // Guards against a source that strays outside [0, 1).
    if (k < 1)
        return 1;
    return k > n ? n : k;
}

double drawFor(int k, int n)
{
    return (k - 0.5) / n;
}

} // namespace tb
