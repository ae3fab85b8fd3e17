// The hearing models the mask analysis draws and weighs with: the Bark
// scale, the absolute threshold of hearing, the spreading of a masker over
// the Bark scale, and the 24 critical bands. Plain functions, no state.
#pragma once

#include <array>
#include <span>

namespace kestrune::analysis {

/** Position of `hz` on the Bark scale: 26.81 / (1 + 1960 / f) - 0.53, f raised to 40 below 40. */
double HzToBark(int hz);

/** The frequency of a Bark position: the integer part of 1960 / (26.81 / (z + 0.53) - 1); 0 for z
 * <= 0. */
int BarkToHz(double bark);

/**
 * The absolute threshold of hearing at `hz` in dB, f raised to 1 below 1:
 * with x = f / 1000, 3.64 x^-0.8 - 6.5 e^(-0.6 (x - 3.3)^2) + 0.001 x^4.
 */
double AbsoluteThreshold(int hz);

/**
 * The level in dB that a masker of level `level` dB at Bark position `zm`
 * produces at Bark position `z`: with u = z - zm + 0.15,
 * A(zm) + 6 u - 19 sqrt(u^2 + 0.3) + level. The skirts rise with 25 dB per
 * Bark below the masker and fall with 13 dB per Bark above it; A runs on a
 * straight line in Bark from 9.242 at 250 Hz to 5.242 at 4000 Hz and goes on
 * along it outside that span.
 */
double SpreadingFunction(double zm, double z, double level);

inline constexpr int kCriticalBandCount = 24;

/** The edges of the critical bands in Hz: band b spans [edge b, edge b + 1). */
inline constexpr std::array<int, kCriticalBandCount + 1> kCriticalBandEdges{
    100,  200,  300,  400,  510,  630,  770,  920,  1080, 1270,  1480,  1720, 2000,
    2320, 2700, 3150, 3700, 4400, 5300, 6400, 7700, 9500, 12000, 15500, 22050};

/** The centre of band `band` (0 ... 23) in Hz: the mean of its edges, integer division. */
int CriticalBandCentre(int band);

/** The band holding `hz`, or -1 below 100 Hz and from 22050 Hz on. */
int CriticalBandOf(int hz);

/** Sum / n; 0 for no values. */
double Mean(std::span<const double> values);

/** sqrt(sum (x - mean)^2 / n), divisor n; 0 for no values. */
double StandardDeviation(std::span<const double> values);

}  // namespace kestrune::analysis
