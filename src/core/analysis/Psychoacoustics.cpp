#include "core/analysis/Psychoacoustics.h"

#include <algorithm>
#include <cmath>

namespace kestrune::analysis {

double HzToBark(int hz) {
    const double f = std::max(hz, 40);
    return 26.81 / (1.0 + 1960.0 / f) - 0.53;
}

int BarkToHz(double bark) {
    if (bark <= 0.0) return 0;
    return static_cast<int>(1960.0 / (26.81 / (bark + 0.53) - 1.0));
}

double AbsoluteThreshold(int hz) {
    const double x = std::max(hz, 1) / 1000.0;
    return 3.64 * std::pow(x, -0.8) - 6.5 * std::exp(-0.6 * (x - 3.3) * (x - 3.3)) +
           0.001 * std::pow(x, 4.0);
}

double SpreadingFunction(double zm, double z, double level) {
    // The peak term A: 9.242 at 250 Hz falling linearly in Bark to 5.242 at 4000 Hz.
    static const double z250 = HzToBark(250);
    static const double z4000 = HzToBark(4000);
    const double peak = 9.242 + (zm - z250) * (5.242 - 9.242) / (z4000 - z250);
    const double u = z - zm + 0.15;
    return peak + 6.0 * u - 19.0 * std::sqrt(u * u + 0.3) + level;
}

int CriticalBandCentre(int band) {
    return (kCriticalBandEdges[static_cast<std::size_t>(band)] +
            kCriticalBandEdges[static_cast<std::size_t>(band) + 1]) /
           2;
}

int CriticalBandOf(int hz) {
    const auto upper = std::upper_bound(kCriticalBandEdges.begin(), kCriticalBandEdges.end(), hz);
    if (upper == kCriticalBandEdges.begin() || upper == kCriticalBandEdges.end()) return -1;
    return static_cast<int>(upper - kCriticalBandEdges.begin()) - 1;
}

double Mean(std::span<const double> values) {
    if (values.empty()) return 0.0;
    double sum = 0.0;
    for (const double v : values) sum += v;
    return sum / static_cast<double>(values.size());
}

double StandardDeviation(std::span<const double> values) {
    if (values.empty()) return 0.0;
    const double mean = Mean(values);
    double squares = 0.0;
    for (const double v : values) squares += (v - mean) * (v - mean);
    return std::sqrt(squares / static_cast<double>(values.size()));
}

}  // namespace kestrune::analysis
