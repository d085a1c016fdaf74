#include "record/MovieRecorder.h"

#include "app/AppSettings.h"
#include "app/MessageSink.h"
#include "frame/FrameImage.h"
#include "record/ArchiveGuard.h"
#include "record/Mp4Writer.h"
#include "record/WmvWriter.h"

#include <algorithm>

namespace {

bool MovieWanted(const CAppSettings& s) {
    return s.CAPTURE_WMV != 0 || (s.EMAIL_ENA != 0 && s.EMAIL_WMV != 0);
}

std::string WithoutExtension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash)
               ? path.substr(0, dot)
               : path;
}

} // namespace

const char* movie_format::Extension(const CAppSettings& settings) {
    return settings.MOVIE_FORMAT == 1 ? ".mp4" : ".wmv";
}

CMovieRecorder::CMovieRecorder(const CAppSettings& settings) : m_settings(settings) {}

CMovieRecorder::~CMovieRecorder() {
    Stop();
}

void CMovieRecorder::SetArchiveGuard(CArchiveGuard* guard) {
    m_pGuard = guard;
    if (m_pGuard)
        m_pGuard->Request(CArchiveLimits::FromSettings(m_settings));
}

bool CMovieRecorder::ArchivePaused() const {
    return m_pGuard && m_pGuard->IsFull();
}

void CMovieRecorder::CheckArchive() {
    const bool full = ArchivePaused();
    if (full && !m_saidFull)
        AppMessageBox("The archive's disk is full: movies and stills are paused until there is "
                      "room again.");
    m_saidFull = full;
}

void CMovieRecorder::Start(const std::string& path, int framesPerSecond) {
    const bool wanted = MovieWanted(m_settings);
    // A movie still held is finished first rather than dropped unfinished.
    if (wanted && m_pWriter)
        Stop();
    // Taken now: at teardown the settings may be gone before the last Stop.
    m_limits = CArchiveLimits::FromSettings(m_settings);
    m_captureOpen = true;
    if (m_pGuard)
        m_pGuard->SetInProgress(WithoutExtension(path));
    CheckArchive();
    if (!wanted || ArchivePaused()) {
        m_preRoll.Clear();
        return;
    }
    m_framesPerSecond = std::clamp(framesPerSecond, 1, 1000);
    m_wmv = m_settings.MOVIE_FORMAT != 1;
    if (m_wmv)
        m_pWriter = std::make_unique<CWmvWriter>(path, framesPerSecond);
    else
        m_pWriter = std::make_unique<CMp4Writer>(path, framesPerSecond);
}

void CMovieRecorder::WritePreRoll(int64_t untilMs) {
    const size_t n = m_preRoll.Count();
    if (n == 0)
        return;
    if (!m_wmv) {
        for (size_t i = 0; i < n && m_preRoll.Time(i) < untilMs; ++i)
            m_pWriter->AddConverted(m_preRoll.Frame(i), m_preRoll.Time(i));
    } else {
        // WMV frames are stamped by their count at the movie's rate: each kept
        // frame is repeated for as long as it was the latest, so the seconds
        // before the motion play at their real speed.
        const int64_t first = m_preRoll.Time(0);
        size_t latest = 0;
        for (int64_t k = 0;; ++k) {
            const int64_t at = first + k * 1000 / m_framesPerSecond;
            if (at >= untilMs)
                break;
            while (latest + 1 < n && m_preRoll.Time(latest + 1) <= at)
                ++latest;
            if (!m_pWriter->AddConverted(m_preRoll.Frame(latest), at))
                break;
        }
    }
    m_preRoll.Clear();
}

void CMovieRecorder::AddFrame(const CFrameImage& frame, int64_t captureMs) {
    if (!m_pWriter)
        return;
    WritePreRoll(captureMs);
    m_pWriter->AddFrame(frame, captureMs);
}

void CMovieRecorder::Watch(const CFrameImage& frame, int64_t captureMs) {
    if (m_pWriter)
        return;
    m_preRoll.Configure(m_settings.PRE_ROLL_S, m_settings.MOTION_FPS);
    if (WantsWatchFrames() && !frame.Empty())
        m_preRoll.Push(frame, captureMs);
}

bool CMovieRecorder::WantsWatchFrames() const {
    return !m_pWriter && m_settings.PRE_ROLL_S > 0 && MovieWanted(m_settings);
}

void CMovieRecorder::Stop() {
    m_pWriter.reset();
    m_preRoll.Clear();
    if (m_pGuard && m_captureOpen) {
        m_pGuard->SetInProgress("");
        m_pGuard->Request(m_limits);
    }
    m_captureOpen = false;
}

bool CMovieRecorder::IsRecording() const {
    return m_pWriter != nullptr;
}
