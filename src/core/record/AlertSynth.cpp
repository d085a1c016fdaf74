#include "record/AlertSynth.h"

#include "record/AlertTables.h"

#include <algorithm>

namespace {
// Volumes beyond this would overflow the 16-bit products (327 x 100 fits).
int ClampVolume(int volume) {
    return std::clamp(volume, 0, 100);
}
} // namespace

CAlertSynth::CAlertSynth(int targetVolume)
    : m_targetVolume(ClampVolume(targetVolume)), m_chirpPos(CAlertTables::kChirpLength) {}

void CAlertSynth::SetVolume(int volume) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_targetVolume = ClampVolume(volume);
}

void CAlertSynth::SetSiren(bool on) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (on) {
        m_sirenOn = true;
        m_fading = false;
        if (m_sirenVolume <= 0)
            m_sirenVolume = 1;
    } else {
        m_fading = true;
    }
}

void CAlertSynth::PlayChirp() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_chirpPos = 0;
}

bool CAlertSynth::IsSounding() const {
    return SirenVolume() > 0;
}

bool CAlertSynth::IsQuiet() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return !m_sirenOn && m_sirenVolume <= 0 && m_chirpPos >= CAlertTables::kChirpLength;
}

int CAlertSynth::SirenVolume() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_sirenVolume;
}

void CAlertSynth::StepSirenVolume() {
    if (m_fading) {
        m_sirenVolume -= kVolumeStep;
        if (m_sirenVolume < 0) {
            m_sirenVolume = 0;
            m_sirenOn = false;
            m_fading = false;
        }
    } else if (m_sirenOn) {
        // The last step is shortened so that the siren lands on the target itself.
        m_sirenVolume += std::clamp(m_targetVolume - m_sirenVolume, -kVolumeStep, kVolumeStep);
        // While on, it stays at 1 or more so that it counts as sounding even at target 0.
        m_sirenVolume = std::max(m_sirenVolume, 1);
    }
}

void CAlertSynth::Fill(int16_t* out) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_tables)
        m_tables = &CAlertTables::Get();
    StepSirenVolume();
    const auto& chirp = m_tables->chirp;
    const auto& siren = m_tables->siren;
    for (int i = 0; i < kBufferSamples; ++i) {
        if (m_targetVolume <= 0) {
            // Silence holds both sounds where they are.
            out[i] = 0;
        } else if (m_chirpPos < CAlertTables::kChirpLength) {
            // The chirp replaces the siren while it plays, always at the target volume.
            out[i] = static_cast<int16_t>(chirp[m_chirpPos++] * m_targetVolume);
        } else {
            out[i] = static_cast<int16_t>(siren[m_sirenIndex] * m_sirenVolume);
            if (++m_sirenIndex == CAlertTables::kSirenLength)
                m_sirenIndex = 0;
        }
    }
}
