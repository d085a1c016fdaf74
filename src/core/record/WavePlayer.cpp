#include "record/WavePlayer.h"

#include "app/MessageSink.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
constexpr size_t kBufferBytes = CWavePlayer::kBufferSamples * sizeof(int16_t);
}

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

    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Fail();
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 1024;
    want.callback = &CWavePlayer::AudioCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts when the device wants another format.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Fail();
        return false;
    }
    m_audioStarted = true;
    m_stopRequest.store(false);
    m_worker = std::thread(&CWavePlayer::WorkerLoop, this);
    SDL_PauseAudioDevice(m_device, 0);
    return true;
}

void CWavePlayer::Fail() {
    if (m_failureReported)
        return;
    m_failureReported = true;
    AppMessageBox("Unable to open audio out device");
}

void CWavePlayer::SetSiren(bool on) {
    // Motion switches the siren on at every step: only a new alarm retries.
    if (on && !m_sirenWanted && !IsOpen())
        Open();
    m_sirenWanted = on;
    m_synth.SetSiren(on);
}

void CWavePlayer::PlayChirp() {
    if (!IsOpen())
        Open();
    m_synth.PlayChirp();
}

void CWavePlayer::Close() {
    if (m_worker.joinable()) {
        m_stopRequest.store(true);
        m_worker.join();
    }
    if (m_device != 0) {
        SDL_CloseAudioDevice(m_device); // stops the callback before it returns
        m_device = 0;
    }
    if (m_audioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_audioStarted = false;
    }
}

void CWavePlayer::WorkerLoop() {
    while (!m_stopRequest.load()) {
        while (m_queued.load(std::memory_order_acquire) < kBufferCount) {
            m_synth.Fill(m_buffers[m_nextBuffer].data());
            m_nextBuffer = (m_nextBuffer + 1) % kBufferCount;
            m_queued.fetch_add(1, std::memory_order_release);
            m_buffersFilled.fetch_add(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void CWavePlayer::AudioCallback(void* self, uint8_t* stream, int len) {
    static_cast<CWavePlayer*>(self)->Play(stream, len);
}

void CWavePlayer::Play(uint8_t* stream, int len) {
    size_t left = static_cast<size_t>(len);
    while (left > 0) {
        if (m_queued.load(std::memory_order_acquire) == 0) {
            // The worker fell behind: play silence rather than stale samples.
            std::memset(stream, 0, left);
            return;
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
        }
    }
}
