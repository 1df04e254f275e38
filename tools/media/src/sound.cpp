// The move sound: a piece set down on a wooden board, a short dry knock.
#include "media.h"

#include <algorithm>
#include <cmath>

namespace media {

std::vector<int16_t> makeMoveSound()
{
    constexpr int rate = 44100;
    constexpr double length = 0.110;
    constexpr double pi = 3.14159265358979323846;
    const int n = int(rate * length);
    std::vector<double> s(size_t(n), 0.0);

    // Resonances of the wood: frequency (Hz), decay time (s), level.
    struct Mode { double f, tau, a; };
    static const Mode modes[] = {
        {180, 0.020, 0.25}, {620, 0.016, 0.55}, {1040, 0.012, 1.00},
        {1710, 0.008, 0.55}, {2650, 0.005, 0.35}, {3900, 0.003, 0.20},
    };

    // The impact: a burst of noise, band-passed around 2.2 kHz.
    uint32_t state = 0x2545F491u;
    auto white = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state / 4294967295.0) * 2 - 1;
    };
    const double f0 = 2200, q = 1.1;
    const double w0 = 2 * pi * f0 / rate, alpha = std::sin(w0) / (2 * q);
    const double b0 = alpha, b2 = -alpha, a0 = 1 + alpha, a1 = -2 * std::cos(w0), a2 = 1 - alpha;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    for (int i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (const Mode& m : modes)
            v += m.a * std::exp(-t / m.tau) * std::sin(2 * pi * m.f * t + m.f * 0.0001);
        const double x0 = white() * std::exp(-t / 0.0018);
        const double y0 = (b0 * x0 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1; x1 = x0; y2 = y1; y1 = y0;
        v += 5.0 * y0;
        const double attack = std::min(1.0, t / 0.0004);
        const double tail = std::min(1.0, (length - t) / 0.015);
        s[size_t(i)] = v * attack * tail;
    }

    double peak = 0;
    for (double v : s)
        peak = std::max(peak, std::abs(v));
    const double gain = peak > 0 ? 0.70 * 32767 / peak : 0;
    std::vector<int16_t> out(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        out[size_t(i)] = int16_t(std::lround(s[size_t(i)] * gain));
    return out;
}

} // namespace media
