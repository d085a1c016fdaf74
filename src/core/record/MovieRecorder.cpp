#include "record/MovieRecorder.h"

#include "app/AppSettings.h"
#include "record/WmvWriter.h"

CMovieRecorder::CMovieRecorder(const CAppSettings& settings) : m_settings(settings) {}

CMovieRecorder::~CMovieRecorder() {
    Stop();
}

void CMovieRecorder::Start(const std::string& path, int framesPerSecond) {
    const bool wanted =
        m_settings.CAPTURE_WMV != 0 || (m_settings.EMAIL_ENA != 0 && m_settings.EMAIL_WMV != 0);
    if (!wanted)
        return;
    // A movie still held is finished first rather than dropped unfinished.
    Stop();
    m_pWriter = std::make_unique<CWmvWriter>(path, framesPerSecond);
}

void CMovieRecorder::AddFrame(const CFrameImage& frame) {
    if (m_pWriter)
        m_pWriter->AddFrame(frame);
}

void CMovieRecorder::Stop() {
    m_pWriter.reset();
}

bool CMovieRecorder::IsRecording() const {
    return m_pWriter != nullptr;
}
