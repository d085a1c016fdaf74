// The alert sound as it leaves the program: SDL's disk driver writes the very
// samples the audio device is given into a file, which these tests analyse.
#include "RecordingSinks.h"
#include "TempDir.h"

#include "record/AlertTables.h"
#include "record/WavePlayer.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBuffer = CWavePlayer::kBufferSamples;
constexpr double kRate = CAlertTables::kSampleRate;

class RecordSound : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", m_dir.File("out.raw").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("SDL_AUDIODRIVER");
        ::unsetenv("SDL_DISKAUDIOFILE");
    }

    // Waits (bounded) until the worker has filled `count` buffers since Open.
    // Counts are taken after a switch: buffers queued before it are silent.
    static void WaitForBuffers(const CWavePlayer& player, uint64_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (player.BuffersFilled() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GE(player.BuffersFilled(), count) << "the sound worker stalled";
    }
    // Waits until what was filled up to now has reached the output file: the
    // ring has turned over, or the player paused because all left was silence.
    static void WaitUntilPlayed(const CWavePlayer& player) {
        const uint64_t count = player.BuffersFilled() + CWavePlayer::kBufferCount + 2;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (player.BuffersFilled() < count && !player.IsPaused() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(player.BuffersFilled() >= count || player.IsPaused())
            << "the sound worker stalled";
    }

    std::vector<int16_t> Output() const {
        const std::string bytes = ReadFileBytes(m_dir.File("out.raw"));
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    CTempDir m_dir;
};

// Threads SDL runs for open audio devices ("SDLAudioP2", ...).
int SdlAudioThreads() {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        count += ReadFileBytes((task.path() / "comm").string()).rfind("SDLAudio", 0) == 0;
    return count;
}

size_t FirstSound(const std::vector<int16_t>& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == 0)
        ++i;
    return i;
}

// Splits a stretch of output played from the siren table into runs of equal
// volume. The table position is found from the first samples, which the
// caller knows to be at volume `firstVolume`.
struct VolumeRun {
    int volume;
    size_t length;
};
std::vector<VolumeRun> SirenVolumeRuns(const std::vector<int16_t>& s, size_t from,
                                       int firstVolume) {
    const auto& siren = CAlertTables::Get().siren;
    const int n = CAlertTables::kSirenLength;
    int offset = -1;
    for (int j = 0; j < n && offset < 0; ++j) {
        bool match = true;
        for (int i = 0; i < 400 && match; ++i)
            match = s[from + i] == siren[(j + i) % n] * firstVolume;
        if (match)
            offset = j;
    }
    if (offset < 0)
        return {};
    std::vector<VolumeRun> runs;
    int volume = firstVolume;
    for (size_t i = from; i < s.size(); ++i) {
        const int table = siren[(offset + (i - from)) % n];
        if (table != 0) {
            if (s[i] % table != 0)
                break; // not the siren any more
            volume = s[i] / table;
        } else if (s[i] != 0) {
            break;
        } // a zero table sample says nothing about the volume: it joins the current run
        if (runs.empty() || runs.back().volume != volume)
            runs.push_back({volume, 0});
        ++runs.back().length;
    }
    return runs;
}

// A run boundary can land one or two samples late where the table itself is 0.
constexpr size_t kBoundarySlack = 2;

// Frequency from zero crossings in a window of samples.
double Frequency(const std::vector<int16_t>& s, size_t from, size_t length) {
    int crossings = 0;
    for (size_t i = from + 1; i < from + length; ++i)
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++crossings;
    return crossings / 2.0 / (length / kRate);
}

TEST_F(RecordSound, WithoutADeviceNothingSoundsAndTheNextAlarmTriesAgain) {
    CRecordingMessageSink messages;
    ::setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    CWavePlayer player(50);
    EXPECT_FALSE(player.IsOpen());
    for (int alarm = 0; alarm < 2; ++alarm) {
        player.SetSiren(true);
        player.SetSiren(true);
        EXPECT_FALSE(player.IsSounding()) << alarm;
        player.SetSiren(false);
        player.PlayChirp();
    }
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Unable to open audio out device"});
    // A device that appears later is used by the next alarm.
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    player.SetSiren(true);
    EXPECT_TRUE(player.IsOpen());
    EXPECT_TRUE(player.IsSounding());
}

TEST_F(RecordSound, VolumeZeroIsSilence) {
    CWavePlayer player(0);
    ASSERT_TRUE(player.IsOpen());
    player.SetSiren(true);
    player.PlayChirp();
    WaitForBuffers(player, 4);
    WaitUntilPlayed(player);
    EXPECT_TRUE(player.IsSounding()); // switched on, but nothing to hear
    player.Close();
    const std::vector<int16_t> out = Output();
    ASSERT_GT(out.size(), 4u * kBuffer);
    EXPECT_EQ(FirstSound(out), out.size());
}

TEST_F(RecordSound, SirenRampsUpToTheTargetInStepsOfTen) {
    CWavePlayer player(55);
    // Silence costs nothing: the device waits paused and no buffer is made.
    EXPECT_TRUE(player.IsPaused());
    EXPECT_EQ(player.BuffersFilled(), 0u);
    player.SetSiren(true);
    WaitForBuffers(player, player.BuffersFilled() + 8);
    WaitUntilPlayed(player);
    player.Close();

    const std::vector<int16_t> out = Output();
    const size_t start = FirstSound(out);
    ASSERT_LT(start, out.size());
    // 1 is the volume the switch sets; each buffer moves it one step before it plays.
    const std::vector<VolumeRun> runs = SirenVolumeRuns(out, start, 11);
    ASSERT_GE(runs.size(), 6u);
    const std::vector<int> expected = {11, 21, 31, 41, 51, 55};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(runs[i].volume, expected[i]) << "run " << i;
    for (size_t i = 1; i < 5; ++i)
        EXPECT_NEAR(runs[i].length, kBuffer, kBoundarySlack) << "run " << i;
    EXPECT_GE(runs[5].length, 2u * kBuffer); // and stays at the target
    EXPECT_EQ(runs.size(), 6u);
}

TEST_F(RecordSound, SirenFadesOutWithinTenBuffers) {
    CWavePlayer player(100);
    player.SetSiren(true);
    WaitForBuffers(player, player.BuffersFilled() + 12); // up to 100 and holding
    EXPECT_TRUE(player.HasDevice());
    EXPECT_EQ(SdlAudioThreads(), 1);
    player.SetSiren(false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (player.IsSounding() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(player.IsSounding());
    // Once the fade has been played, the device is closed: no audio thread
    // of SDL's runs while nothing sounds.
    while (player.HasDevice() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(player.IsPaused());
    EXPECT_FALSE(player.HasDevice());
    EXPECT_EQ(SdlAudioThreads(), 0);
    player.Close();

    const std::vector<int16_t> out = Output();
    const size_t start = FirstSound(out);
    ASSERT_LT(start, out.size());
    const std::vector<VolumeRun> runs = SirenVolumeRuns(out, start, 11);
    std::vector<int> volumes;
    for (const VolumeRun& r : runs)
        volumes.push_back(r.volume);
    // Up 11..91 and 100, then 90..10 over nine buffers; the tenth is silent.
    std::vector<int> expected;
    for (int v = 11; v <= 91; v += 10)
        expected.push_back(v);
    for (int v = 100; v >= 0; v -= 10)
        expected.push_back(v);
    EXPECT_EQ(volumes, expected);
    // Every step but the first, the held 100 and the final silence lasts one buffer.
    for (size_t i = 1; i + 1 < runs.size(); ++i) {
        if (i != 9) {
            EXPECT_NEAR(runs[i].length, kBuffer, kBoundarySlack) << "run " << i;
        }
    }
    ASSERT_FALSE(runs.empty());
    EXPECT_GE(runs.back().length, static_cast<size_t>(kBuffer));
}

TEST_F(RecordSound, ChirpIsThreeRisingSweepsOfAnEighthOfASecond) {
    CWavePlayer player(100);
    player.PlayChirp();
    WaitForBuffers(player, player.BuffersFilled() + 9);
    WaitUntilPlayed(player);
    player.Close();

    const std::vector<int16_t> out = Output();
    const size_t start = FirstSound(out);
    const size_t length = CAlertTables::kChirpLength;
    ASSERT_GT(out.size(), start + length + 1000);
    // 10 ms windows: each sweep starts near 1000 Hz and ends near 2000 Hz.
    const size_t window = 441;
    const size_t sweep = static_cast<size_t>(kRate / 8);
    for (int s = 0; s < 3; ++s) {
        const size_t at = start + s * sweep;
        EXPECT_NEAR(Frequency(out, at + 100, window), 1000 + 8000 * (100 + window / 2) / kRate, 120)
            << "sweep " << s << " start";
        EXPECT_NEAR(Frequency(out, at + sweep - window - 100, window),
                    2000 - 8000 * (100 + window / 2) / kRate, 120)
            << "sweep " << s << " end";
    }
    // Sample for sample the table at full target volume, with no gap, then
    // silence (the siren is off).
    const auto& chirp = CAlertTables::Get().chirp;
    size_t first = 0;
    while (chirp[first] == 0)
        ++first;
    for (size_t k = first; k < length; ++k)
        ASSERT_EQ(out[start - first + k], chirp[k] * 100) << k;
    for (size_t i = start - first + length; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << i;
}

TEST_F(RecordSound, SirenSwingsBetweenOneAndThreeKilohertzFourTimesASecond) {
    CWavePlayer player(100);
    player.SetSiren(true);
    WaitForBuffers(player, player.BuffersFilled() + 36);
    WaitUntilPlayed(player);
    player.Close();

    const std::vector<int16_t> out = Output();
    const size_t steady = FirstSound(out) + 10 * kBuffer; // past the ramp
    const size_t window = 220;                            // 5 ms
    const size_t span = static_cast<size_t>(1.2 * kRate);
    ASSERT_GT(out.size(), steady + span);
    std::vector<double> track;
    for (size_t at = steady; at + window <= steady + span; at += window)
        track.push_back(Frequency(out, at, window));
    double low = 1e9, high = 0;
    for (double f : track) {
        low = std::min(low, f);
        high = std::max(high, f);
    }
    EXPECT_NEAR(low, 1000, 200);
    EXPECT_NEAR(high, 3000, 200);
    // The pitch rises through 2000 Hz once a cycle: every quarter second.
    std::vector<double> rises;
    bool armed = false;
    for (size_t i = 0; i < track.size(); ++i) {
        if (track[i] < 1600)
            armed = true;
        else if (armed && track[i] >= 2000) {
            rises.push_back(i * window / kRate);
            armed = false;
        }
    }
    ASSERT_GE(rises.size(), 4u);
    for (size_t i = 1; i < rises.size(); ++i)
        EXPECT_NEAR(rises[i] - rises[i - 1], 0.25, 0.02) << "cycle " << i;
    // Over several cycles the window jitter averages out.
    EXPECT_NEAR((rises.back() - rises.front()) / (rises.size() - 1), 0.25, 0.006);
}

TEST(RecordSoundDevice, NoOutputShowsOneMessageAndStaysHarmless) {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    CRecordingMessageSink messages;
    {
        CWavePlayer player(50);
        EXPECT_FALSE(player.IsOpen());
        player.SetSiren(true);
        player.PlayChirp();
        player.SetVolume(20);
        EXPECT_FALSE(player.IsSounding()) << "nothing can sound without a device";
        EXPECT_EQ(player.BuffersFilled(), 0u);
    }
    ::unsetenv("SDL_AUDIODRIVER");
    ASSERT_EQ(messages.m_messages.size(), 1u);
    EXPECT_EQ(messages.m_messages[0].text, "Unable to open audio out device");
    EXPECT_EQ(messages.m_messages[0].caption, AppCaption());
}

} // namespace
