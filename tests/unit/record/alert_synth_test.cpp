#include "record/AlertSynth.h"
#include "record/AlertTables.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

constexpr int kN = CAlertSynth::kBufferSamples;
using Buffer = std::array<int16_t, kN>;

Buffer Fill(CAlertSynth& synth) {
    Buffer b{};
    synth.Fill(b.data());
    return b;
}

// Where in the siren table a buffer played at volume v starts; -1 if it is
// not a contiguous stretch of the siren at that volume.
int SirenOffset(const Buffer& b, int v) {
    const auto& siren = CAlertTables::Get().siren;
    for (int j = 0; j < CAlertTables::kSirenLength; ++j) {
        bool match = true;
        for (int i = 0; i < kN && match; ++i)
            match = b[i] == siren[(j + i) % CAlertTables::kSirenLength] * v;
        if (match)
            return j;
    }
    return -1;
}

// Reference samples from alert_tables_reference.py (60-digit arithmetic,
// independent of the program's long double sums).
TEST(AlertTables, MatchAnIndependentComputationAtChosenSamples) {
    const auto& t = CAlertTables::Get();
    const std::vector<std::pair<int, int>> chirp = {
        {1, 0},     {2, 2},     {50, 127},   {99, 288},    {100, 302},   {101, 281},  {2000, -215},
        {5511, 58}, {5512, 11}, {5513, -34}, {11025, -23}, {16436, -66}, {16437, 22}, {16534, 3}};
    for (const auto& [k, v] : chirp)
        EXPECT_EQ(t.chirp[k], v) << "chirp sample " << k;
    const std::vector<std::pair<int, int>> siren = {
        {0, 91}, {1, 176}, {1000, -313}, {2756, -263}, {5512, -192}, {8268, -320}, {11024, 0}};
    for (const auto& [k, v] : siren)
        EXPECT_EQ(t.siren[k], v) << "siren sample " << k;
}

// Every sample against the sums and sines all in extended precision: the
// faster sine the tables use must not move a single truncated sample.
TEST(AlertTables, EverySampleMatchesTheComputationInExtendedPrecision) {
    const auto& t = CAlertTables::Get();
    long double f = 1000, p = 0;
    for (int k = 0; k < CAlertTables::kChirpLength; ++k) {
        f += 0.18142235f;
        if (f > 2000)
            f = 1000;
        p += f * 0.00014247574f;
        const int n = 49608 - 3 * k;
        const int a = n >= 49309 ? 3 * k : (n >= 300 ? 327 : n);
        ASSERT_EQ(t.chirp[k], static_cast<int16_t>(static_cast<long>(a * sinl(p)))) << k;
    }
    long double q = 0, r = 0;
    for (int k = 0; k < CAlertTables::kSirenLength; ++k) {
        q += 0.00056990294f;
        r += (sinl(q) + 1) * 0.14247574f + 0.14247574f;
        ASSERT_EQ(t.siren[k], static_cast<int16_t>(static_cast<long>(327 * sinl(r)))) << k;
    }
}

TEST(AlertSynth, VolumeZeroIsSilentAndHoldsTheChirpUntilRaised) {
    CAlertSynth synth(0);
    synth.SetSiren(true);
    synth.PlayChirp();
    EXPECT_TRUE(synth.IsSounding()); // volume 1, though nothing is heard
    for (int i = 0; i < 4; ++i) {
        const Buffer b = Fill(synth);
        for (int16_t s : b)
            ASSERT_EQ(s, 0);
    }
    EXPECT_EQ(synth.SirenVolume(), 1);

    synth.SetVolume(40);
    const Buffer b = Fill(synth);
    const auto& chirp = CAlertTables::Get().chirp;
    for (int i = 0; i < kN; ++i)
        ASSERT_EQ(b[i], chirp[i] * 40) << i; // the chirp starts from its first sample
}

TEST(AlertSynth, RampsInStepsOfTenAndLandsOnTheTarget) {
    CAlertSynth synth(55);
    Fill(synth);
    synth.SetSiren(true);
    std::vector<int> volumes = {synth.SirenVolume()};
    std::vector<Buffer> buffers;
    for (int i = 0; i < 7; ++i) {
        buffers.push_back(Fill(synth));
        volumes.push_back(synth.SirenVolume());
    }
    EXPECT_EQ(volumes, (std::vector<int>{1, 11, 21, 31, 41, 51, 55, 55}));
    // Each buffer is the siren at that buffer's volume, carrying on from the last.
    int offset = SirenOffset(buffers[0], 11);
    ASSERT_GE(offset, 0);
    for (size_t i = 1; i < buffers.size(); ++i) {
        offset = (offset + kN) % CAlertTables::kSirenLength;
        EXPECT_EQ(SirenOffset(buffers[i], volumes[i + 1]), offset) << "buffer " << i;
    }
}

TEST(AlertSynth, FollowsALoweredTargetAndFadesOutInTenBuffers) {
    CAlertSynth synth(100);
    synth.SetSiren(true);
    for (int i = 0; i < 12; ++i)
        Fill(synth);
    EXPECT_EQ(synth.SirenVolume(), 100);

    synth.SetSiren(false);
    for (int i = 1; i <= 9; ++i) {
        Fill(synth);
        EXPECT_EQ(synth.SirenVolume(), 100 - 10 * i);
        EXPECT_TRUE(synth.IsSounding());
    }
    const Buffer tenth = Fill(synth);
    EXPECT_FALSE(synth.IsSounding());
    for (int16_t s : tenth)
        ASSERT_EQ(s, 0);

    // Switched on again during a fade it ramps from where it was.
    synth.SetSiren(true);
    for (int i = 0; i < 3; ++i)
        Fill(synth);
    synth.SetSiren(false);
    Fill(synth);
    EXPECT_EQ(synth.SirenVolume(), 21);
    synth.SetSiren(true);
    Fill(synth);
    EXPECT_EQ(synth.SirenVolume(), 31);

    // A lowered target pulls the siren down onto it.
    synth.SetVolume(5);
    for (int i = 0; i < 5; ++i)
        Fill(synth);
    EXPECT_EQ(synth.SirenVolume(), 5);
}

TEST(AlertSynth, ChirpReplacesTheSirenThenTheSirenCarriesOn) {
    CAlertSynth synth(55);
    synth.SetSiren(true);
    for (int i = 0; i < 6; ++i)
        Fill(synth);
    const Buffer before = Fill(synth);
    const int sirenAt = SirenOffset(before, 55);
    ASSERT_GE(sirenAt, 0);

    synth.PlayChirp();
    std::vector<int16_t> out;
    for (int i = 0; i < 9; ++i) {
        const Buffer b = Fill(synth);
        out.insert(out.end(), b.begin(), b.end());
    }
    const auto& t = CAlertTables::Get();
    for (int k = 0; k < CAlertTables::kChirpLength; ++k)
        ASSERT_EQ(out[k], t.chirp[k] * 55) << k;
    for (size_t k = CAlertTables::kChirpLength; k < out.size(); ++k) {
        const int index = (sirenAt + kN + static_cast<int>(k) - CAlertTables::kChirpLength) %
                          CAlertTables::kSirenLength;
        ASSERT_EQ(out[k], t.siren[index] * 55) << k;
    }
}

} // namespace
