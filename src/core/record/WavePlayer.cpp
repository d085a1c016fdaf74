#include "record/WavePlayer.h"

#include "app/MessageSink.h"
#include "app/OnDemandLibrary.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

namespace {
constexpr size_t kBufferBytes = CWavePlayer::kBufferSamples * sizeof(int16_t);

// ALSA's error handler, as libasound declares it.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err,
                                  const char* fmt, ...);

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Without a sound card ALSA prints its own lines to standard error for every
// device SDL tries, before our one message says the same. SDL loads libasound
// when it needs it; loading it here first (only if it is installed) lets us
// hand it a handler that says nothing. Nothing else of the library is touched.
void QuietAlsaDiagnostics() {
    static const bool done = [] {
        // Kept loaded for the whole run: the handler must stay in force when SDL loads it again.
        static COnDemandLibrary alsa("libasound.so.2");
        int (*set)(AlsaErrorHandler) = nullptr;
        alsa.Find(set, "snd_lib_error_set_handler");
        if (set)
            set(&IgnoreAlsaError);
        return set != nullptr;
    }();
    (void)done;
}
} // namespace

CWavePlayer::CWavePlayer(int volume) : m_synth(volume) {
    Open();
}

CWavePlayer::~CWavePlayer() {
    Close();
}

bool CWavePlayer::Open() {
    Close();
    m_nextBuffer = 0;
    m_playBuffer = 0;
    m_playOffset = 0;
    m_queued.store(0);
    m_buffersFilled.store(0);
    m_paused = true;
    m_silentFilled = 0;

    QuietAlsaDiagnostics();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Fail();
        return false;
    }
    m_audioStarted = true;
    // Opened once here so that a missing output is reported at start, not at
    // the first alarm; the worker closes it again while nothing sounds.
    m_device = OpenDevice();
    if (m_device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_audioStarted = false;
        Fail();
        return false;
    }
    m_usable.store(true);
    m_stopRequest.store(false);
    m_worker = std::thread(&CWavePlayer::WorkerLoop, this);
    return true;
}

uint32_t CWavePlayer::OpenDevice() {
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    // 93 ms a period: the ring holds 250 ms, so SDL's thread need not wake
    // more often than this to keep it playing, and a siren starts at most one
    // period late.
    want.samples = 4096;
    want.callback = &CWavePlayer::AudioCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts when the device wants another format.
    // Devices open paused.
    return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

void CWavePlayer::Fail() {
    if (m_failureReported)
        return;
    m_failureReported = true;
    // SDL says which driver and device failed and why.
    AppMessageBox("Unable to open audio out device", SDL_GetError());
}

void CWavePlayer::SetSiren(bool on) {
    // Motion switches the siren on at every step: only a new alarm retries.
    if (on && !m_sirenWanted && !IsOpen())
        Open();
    m_sirenWanted = on;
    m_synth.SetSiren(on);
    if (on)
        Resume();
}

void CWavePlayer::PlayChirp() {
    if (!IsOpen())
        Open();
    m_synth.PlayChirp();
    Resume();
}

bool CWavePlayer::IsPaused() const {
    const std::lock_guard<std::mutex> lock(m_pauseMutex);
    return m_paused;
}

bool CWavePlayer::HasDevice() const {
    const std::lock_guard<std::mutex> lock(m_pauseMutex);
    return m_device != 0;
}

void CWavePlayer::Resume() {
    if (!IsOpen())
        return;
    const std::lock_guard<std::mutex> lock(m_pauseMutex);
    m_silentFilled = 0; // what the worker counted before the switch may have sound now
    if (m_paused) {
        m_paused = false;
        m_wake.notify_one();
    }
}

void CWavePlayer::Close() {
    if (m_worker.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(m_pauseMutex);
            m_stopRequest.store(true);
        }
        m_wake.notify_one();
        m_worker.join();
    }
    if (m_device != 0) { // opened by Open, the worker never started
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }
    m_usable.store(false);
    if (m_audioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_audioStarted = false;
    }
}

void CWavePlayer::WorkerLoop() {
    std::unique_lock<std::mutex> lock(m_pauseMutex);
    // SDL's open and close wait for the sound system and for SDL's audio
    // thread: a switch made meanwhile must not wait for them.
    auto closeDevice = [&] {
        lock.unlock();
        SDL_CloseAudioDevice(m_device); // stops the callback before it returns
        lock.lock();
        m_device = 0;
    };
    while (!m_stopRequest.load()) {
        if (m_paused) {
            if (m_device != 0)
                closeDevice();
            else
                m_wake.wait(lock, [this] { return m_stopRequest.load() || !m_paused; });
            continue;
        }
        if (m_device == 0) {
            lock.unlock();
            const uint32_t device = OpenDevice();
            lock.lock();
            if (device == 0) {
                // The output went away during a silence; the next alarm tries
                // again from the user-interface thread, which reports it.
                m_usable.store(false);
                m_paused = true;
                continue;
            }
            m_device = device;
            // The callback has not run on this device: its side of the ring
            // starts where the worker fills next, empty.
            m_queued.store(0, std::memory_order_release);
            m_playBuffer = m_nextBuffer;
            m_playOffset = 0;
        }
        while (m_queued.load(std::memory_order_acquire) < kBufferCount) {
            m_silentFilled = m_synth.IsQuiet() ? m_silentFilled + 1 : 0;
            m_synth.Fill(m_buffers[m_nextBuffer].data());
            m_nextBuffer = (m_nextBuffer + 1) % kBufferCount;
            m_queued.fetch_add(1, std::memory_order_release);
            m_buffersFilled.fetch_add(1);
        }
        // Once everything queued is silence, the last sound has left the
        // callback, but the sound system may still hold it: closing the device
        // drops what it holds, so one more ring of silence plays out first.
        if (m_silentFilled >= 2 * kBufferCount) {
            m_paused = true;
            continue;
        }
        // Started only now that the ring is full, so the first callback plays sound.
        if (SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_PAUSED)
            SDL_PauseAudioDevice(m_device, 0);
        // The callback wakes the worker once per period in which it handed a
        // buffer back; the timeout only covers a wake-up that came between the
        // check and the wait (the ring holds 250 ms and the next period's
        // wake-up comes 93 ms later, so a late refill is never heard).
        m_wake.wait_for(lock, std::chrono::milliseconds(100));
    }
    if (m_device != 0)
        closeDevice();
}

void CWavePlayer::AudioCallback(void* self, uint8_t* stream, int len) {
    static_cast<CWavePlayer*>(self)->Play(stream, len);
}

void CWavePlayer::Play(uint8_t* stream, int len) {
    size_t left = static_cast<size_t>(len);
    bool handedBack = false;
    while (left > 0) {
        if (m_queued.load(std::memory_order_acquire) == 0) {
            // The worker fell behind: play silence rather than stale samples.
            std::memset(stream, 0, left);
            break;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(m_buffers[m_playBuffer].data());
        const size_t n = std::min(left, kBufferBytes - m_playOffset);
        std::memcpy(stream, bytes + m_playOffset, n);
        stream += n;
        left -= n;
        m_playOffset += n;
        if (m_playOffset == kBufferBytes) {
            m_playOffset = 0;
            m_playBuffer = (m_playBuffer + 1) % kBufferCount;
            m_queued.fetch_sub(1, std::memory_order_release);
            handedBack = true;
        }
    }
    // One wake-up per period, however many buffers it finished.
    if (handedBack)
        m_wake.notify_one();
}
