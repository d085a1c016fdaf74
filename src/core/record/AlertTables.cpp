#include "record/AlertTables.h"

#include <cmath>

namespace {

// The step constants are single precision, as the sound has always been
// computed; the running sums are kept in extended precision so that the
// phase of the last sample matches the first to the same digits. The sine
// itself is taken in double precision: the extended one reduces every
// argument the slow way and took most of the 12 ms the tables cost at the
// first chirp, and the rounding it saves never reaches a truncated sample.
constexpr float kChirpFreqStep = 0.18142235f;         // Hz per sample: 1000 Hz more every 1/8 s
constexpr float kRadiansPerHzSample = 0.00014247574f; // 2 pi / 44100
constexpr float kSirenSweepStep = 0.00056990294f;     // four pitch cycles a second
constexpr float kSirenPhaseStep = 0.14247574f;        // 1000 Hz in radians per sample
constexpr int kPeak = 327;

int16_t Truncate(long double value) {
    return static_cast<int16_t>(static_cast<long>(value));
}

long double Sine(long double phase) {
    return std::sin(static_cast<double>(phase));
}

void BuildChirp(CAlertTables& t) {
    long double f = 1000;
    long double p = 0;
    for (int k = 0; k < CAlertTables::kChirpLength; ++k) {
        f = f + kChirpFreqStep;
        if (f > 2000)
            f = 1000;
        p = p + f * kRadiansPerHzSample;
        // 100-sample fade-in, then full level, then a fade-out over the last 98 samples.
        const int n = 49608 - 3 * k;
        const int a = n >= 49309 ? 3 * k : (n >= 300 ? kPeak : n);
        t.chirp[k] = Truncate(a * Sine(p));
    }
}

void BuildSiren(CAlertTables& t) {
    long double q = 0;
    long double r = 0;
    for (int k = 0; k < CAlertTables::kSirenLength; ++k) {
        q = q + kSirenSweepStep;
        r = r + (Sine(q) + 1) * kSirenPhaseStep + kSirenPhaseStep;
        t.siren[k] = Truncate(kPeak * Sine(r));
    }
}

} // namespace

const CAlertTables& CAlertTables::Get() {
    static const CAlertTables tables = [] {
        CAlertTables t;
        BuildChirp(t);
        BuildSiren(t);
        return t;
    }();
    return tables;
}
