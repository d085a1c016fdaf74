#include "AppServices.h"

#include "app/AppObjects.h"
#include "mail/ReportMailer.h"
#include "record/MovieRecorder.h"
#include "record/WavePlayer.h"
#include "video/FrameTextPainter.h"
#include "video/capture/VideoSourceWnd.h"

CSurveillanceServices AppServices() {
    CSurveillanceServices services;
    services.source = g_appObjects.m_pVideoSource;
    services.recorder = g_appObjects.m_pMovieRecorder;
    services.sound = g_appObjects.m_pWavePlayer;
    services.mailer = g_appObjects.m_pReportMailer;
    services.painter = g_appObjects.m_pTextPainter;
    return services;
}
