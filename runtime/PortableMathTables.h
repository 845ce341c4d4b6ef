// Constants and tables of the portable maths functions, written by
// scripts/make_portable_math_tables.py into PortableMathTables.cpp.
#ifndef CORVANTA_RUNTIME_PORTABLEMATHTABLES_H
#define CORVANTA_RUNTIME_PORTABLEMATHTABLES_H

#include <cstdint>

namespace corvanta_math {

// Fixed-point numbers of the accurate path: kFixedWords 32-bit words, least significant
// first, of the value times 2^kFixedFractionBits (two's complement).
constexpr int kFixedWords = 12;
constexpr int kFixedFractionBits = 352;
constexpr int kTwoOverPiWordCount = 48;
constexpr int kAtanPowerCount = 64;

// ln 2 / 128 = [0] + [1] + [2]; [0] and [1] have 35 significant bits.
extern const double kLn2Over128[3];
// 2^(j/128) = [j][0] + [j][1].
extern const double kExp2Table[128][2];
// pi/2 = [0] + [1] + [2] + [3]; [0] to [2] have 33 significant bits.
extern const double kPiOver2Parts[4];
// sin(i/64) = [i][0] + [i][1], cos(i/64) = [i][2] + [i][3].
extern const double kSinCosTable[52][4];
// pi/128 = [0] + [1] + [2]; [0] and [1] have 33 significant bits.
extern const double kPiOver128Parts[3];
// sin(j pi/128) = [j][0] + [j][1], cos(j pi/128) = [j][2] + [j][3].
extern const double kSinCosPiTable[256][4];
// atan(i/1024) = [i][0] + [i][1].
extern const double kAtanTable[1025][2];
// pi/2 = [0] + [1].
extern const double kPiOver2[2];
// At c = i/128: atan c = [i][0] + [i][1], 1/(1 + c^2) = [i][2] + [i][3], the Taylor
// coefficients of atan(c + h) of h^2 .. h^9 in [i][4] .. [i][11], pi/2 - atan c =
// [i][12] + [i][13]; [i][14] and [i][15] are zero (rows of 128 bytes).
extern const double kAtanQuickTable[129][16];

extern const std::uint32_t kFixedLn2[kFixedWords];
extern const std::uint32_t kFixedPiOver2[kFixedWords];
// The bits of 2/pi after the binary point, 32 per word, most significant word first.
extern const std::uint32_t kTwoOverPiWords[kTwoOverPiWordCount];
// atan(2^-k), k = 0 .. kAtanPowerCount - 1.
extern const std::uint32_t kFixedAtanPowers[kAtanPowerCount][kFixedWords];

}  // namespace corvanta_math

#endif  // CORVANTA_RUNTIME_PORTABLEMATHTABLES_H
