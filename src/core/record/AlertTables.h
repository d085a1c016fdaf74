#pragma once
#include <array>
#include <cstdint>

// The two sampled sounds of the alert, at 44100 samples a second, computed
// once per program run on first use.
struct CAlertTables {
    static constexpr int kSampleRate = 44100;
    // Three rising sweeps from 1000 to 2000 Hz of 1/8 s each (0.375 s).
    static constexpr int kChirpLength = 16535;
    // One cycle of the two-tone siren (0.25 s), played in a loop.
    static constexpr int kSirenLength = 11025;

    std::array<int16_t, kChirpLength> chirp{};
    std::array<int16_t, kSirenLength> siren{};

    // The tables, built on the first call from any thread.
    static const CAlertTables& Get();
};
