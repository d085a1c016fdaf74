#pragma once
#include "record/AlertSynth.h"
#include "record/IAlertSound.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// The program's only sound source: 44100 Hz mono 16-bit audio to the default
// output, opened at start. A worker keeps at most five 50 ms buffers queued;
// the audio device's callback plays them in order and hands each one back when
// it is done. Silence costs nothing: once a whole ring of silence has played
// after the last sound, the worker closes the device (SDL's audio thread
// would otherwise keep feeding silence) and sleeps until a siren or chirp is
// wanted, then opens it again.
class CWavePlayer : public IAlertSound {
public:
    static constexpr int kBufferCount = 5;
    static constexpr int kBufferSamples = CAlertSynth::kBufferSamples;

    // Opens the output at once; a missing device is reported and leaves the
    // player silent.
    explicit CWavePlayer(int volume);
    ~CWavePlayer() override;

    CWavePlayer(const CWavePlayer&) = delete;
    CWavePlayer& operator=(const CWavePlayer&) = delete;

    // Checks that the default output opens and starts the worker; false
    // (after the message box) when no output device can be opened.
    bool Open();
    // Stops the worker, waiting for it, which closes the device.
    void Close();
    // True while an output is usable: it opened, and the worker has not since
    // failed to open it again (a headset unplugged during a silence).
    bool IsOpen() const { return m_usable.load(); }

    void SetVolume(int volume) override { m_synth.SetVolume(volume); }
    // Without a device, a wanted siren or chirp first tries the device again
    // (a headset plugged in later is used); the failure is reported only once.
    void SetSiren(bool on) override;
    void PlayChirp() override;
    // Nothing sounds without a device, whatever the siren's switch says.
    bool IsSounding() const override { return IsOpen() && m_synth.IsSounding(); }

    // Buffers filled since Open (the device plays them up to five behind).
    uint64_t BuffersFilled() const { return m_buffersFilled.load(); }
    // True while nothing sounds and the device is (or is about to be) closed.
    bool IsPaused() const;
    // True while the audio device itself is open (SDL's audio thread runs).
    bool HasDevice() const;

private:
    static void AudioCallback(void* self, uint8_t* stream, int len);
    void Play(uint8_t* stream, int len);
    void WorkerLoop();
    // The default output, opened paused; 0 when it cannot be opened.
    uint32_t OpenDevice();
    void Fail();
    // A switch was made: a closed device is opened again by the worker with
    // an empty ring, so the sound starts with the next buffer.
    void Resume();

    CAlertSynth m_synth;
    std::thread m_worker;
    std::atomic<bool> m_stopRequest{false};
    std::atomic<bool> m_usable{false};
    uint32_t m_device = 0; // under m_pauseMutex; opened and closed by the worker
    bool m_audioStarted = false;
    bool m_failureReported = false;
    bool m_sirenWanted = false; // the last switch, user-interface thread only

    // Ring of buffers: the worker fills m_nextBuffer while fewer than five are
    // queued; the callback plays from m_playBuffer. m_queued is the only value
    // both touch, so it alone carries the hand-over.
    std::array<std::array<int16_t, kBufferSamples>, kBufferCount> m_buffers{};
    int m_nextBuffer = 0;    // worker only
    int m_playBuffer = 0;    // callback only
    size_t m_playOffset = 0; // bytes of m_playBuffer already played; callback only
    std::atomic<int> m_queued{0};
    std::atomic<uint64_t> m_buffersFilled{0};

    // Pausing: the worker fills and decides under m_pauseMutex, and a switch
    // resumes under it, so a siren switched on while the worker pauses is
    // never lost. The callback never takes it (SDL holds its device lock then),
    // and the worker lets it go while SDL opens or closes the device.
    mutable std::mutex m_pauseMutex;
    std::condition_variable m_wake;
    bool m_paused = true;   // nothing wanted: the worker closes the device
    int m_silentFilled = 0; // consecutive silent buffers filled
};
