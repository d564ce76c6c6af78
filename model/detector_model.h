// The diode array's detector as the frame sets record it: the fixed-seed
// noise generator, the dark offsets of each pixel's sum, the shot and read
// noise, and the frame count chosen to keep the sums inside the 16-bit
// accumulator. Shared by framegen (the recorded sets) and the host's sample
// compartment (frames of a sample made on the fly), so both see the same
// detector.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace detector_model {

constexpr int PIXELS = 1024;

constexpr double ACCUMULATOR_HEADROOM = 62000.0;  // highest summed light count aimed at
constexpr double COUNTS_PER_ELECTRON = 1.0 / 64.0;  // shot noise: sigma = sqrt(counts * this)
constexpr double READ_NOISE = 2.0;                // counts per frame
constexpr double DARK_CURRENT = 4.0;              // counts per frame

// splitmix64 with Box-Muller: the same numbers on every machine.
class CNoise {
public:
    explicit CNoise(uint64_t seed) : m_state(seed) {}
    double Uniform()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return (static_cast<double>(z >> 11) + 0.5) / 9007199254740992.0;
    }
    double Gauss()
    {
        double u1 = Uniform(), u2 = Uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
    }

private:
    uint64_t m_state;
};

// ADC offset of each pixel's sum: a gradient along the array, a slow ripple
// of the readout and a fixed pattern.
inline std::array<double, PIXELS> DarkOffsets()
{
    CNoise noise(0x5EED0FF5E7ull);
    std::array<double, PIXELS> offsets{};
    for (int p = 0; p < PIXELS; p++)
        offsets[p] = 14800.0 + 1200.0 * p / (PIXELS - 1) + 150.0 * std::sin(2 * M_PI * p / 257.0) +
                     40.0 * noise.Gauss();
    return offsets;
}

// Frames to sum for a pixel: as many as fit the accumulator, from the steps
// 1, 2, 3, 4, 5 and then every fifth up to 60.
inline int ChooseFrames(double signalPerFrame, double darkSum)
{
    int best = 1;
    for (int f : {1, 2, 3, 4, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60})
        if (darkSum + f * signalPerFrame <= ACCUMULATOR_HEADROOM)
            best = f;
    return best;
}

}  // namespace detector_model
