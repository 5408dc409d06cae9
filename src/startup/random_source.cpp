#include "startup/random_source.h"

#include <chrono>
#include <cmath>

namespace tb {

namespace {

std::uint64_t clockTicks()
{
    return static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

} // namespace

ProductionRandom::ProductionRandom()
{
    std::random_device device;
    std::seed_seq seed{device(), device(), static_cast<unsigned>(clockTicks()),
                       static_cast<unsigned>(clockTicks() >> 32)};
    engine_.seed(seed);
}

double ProductionRandom::next()
{
    // 53 random bits give every double in [0, 1) on a uniform grid, never 1.
    return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
}

void ProductionRandom::reseed()
{
    engine_.seed(engine_() ^ clockTicks());
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
