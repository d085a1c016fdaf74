#pragma once
#include <cstdint>
#include <mutex>

struct CAlertTables;

// The alert's mixing state: siren volume ramp, fade-out and chirp position.
// Fill computes one 50 ms buffer; the setters may be called from another
// thread at any time and take effect at the next buffer.
class CAlertSynth {
public:
    static constexpr int kBufferSamples = 2205; // 50 ms at 44100 Hz
    static constexpr int kVolumeStep = 10;

    explicit CAlertSynth(int targetVolume);

    void SetVolume(int volume);
    void SetSiren(bool on);
    void PlayChirp();
    bool IsSounding() const;
    // Nothing to play: the siren is off and faded out, and no chirp is left.
    bool IsQuiet() const;
    int SirenVolume() const;

    // Moves the siren volume one step, then fills kBufferSamples samples.
    void Fill(int16_t* out);

private:
    void StepSirenVolume();

    mutable std::mutex m_mutex; // a switch and the ramp never interleave
    const CAlertTables* m_tables = nullptr;
    bool m_fading = false;
    bool m_sirenOn = false;
    int m_sirenVolume = 0;
    int m_targetVolume = 0;
    int m_chirpPos; // the chirp plays while m_chirpPos < its length
    int m_sirenIndex = 0;
};
