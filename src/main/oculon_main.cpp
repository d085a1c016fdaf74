// The desktop program: builds the application objects, runs the main window,
// tears everything down in order when it has ended.
#include "main/DlgMain.h"
#include "main/StartSignal.h"
#include "widgets/QtMessageSink.h"

#include "app/Clock.h"
#include "app/CommandLine.h"
#include "app/EventLog.h"
#include "app/FailureWatch.h"
#include "app/HomeFolder.h"
#include "app/MessageSink.h"
#include "app/PrivateFiles.h"
#include "program/AppObjects.h"
#include "program/Restart.h"

#include <QApplication>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

// Process-wide because a signal handler can reach nothing else; the main
// window's tick reads it.
// Lock-free, so safe in the handler, and atomic, because the signal may land
// on any of the program's threads while the main thread reads it.
std::atomic<bool> g_stopSignal{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnStopSignal(int) {
    g_stopSignal.store(true);
}

} // namespace

int main(int argc, char** argv) {
    KeepNewFilesPrivate();
    QApplication app(argc, argv);
    // Message boxes shown while the window sits in the tray must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    CQtMessageSink sink;
    // Failures read from the event lines and the messages, for the status panel.
    CFailureWatch failures(nullptr, &sink);
    SetMessageSink(&failures);
    SetEventLog(&failures);
    SetAppCaption("oculon");
    IgnoreBrokenPipes();

    // A program already running in tray mode on this home folder comes up instead.
    const std::string home = ResolveHomeFolder();
    if (CStartSignal::SignalRunning(CStartSignal::ServerName(home)))
        return 0;

    // A session that ends asks politely: the close saves the settings as usual.
    InstallStopSignals(OnStopSignal);

    CAppObjects objects;
    objects.CreateAll(home, ExecutablePath(), CCommandLine::JoinArguments(argc, argv));
    if (objects.m_pCommandLine->m_bDelayStart)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    {
        DLG_Main dialog(objects, CSystemClock::Instance());
        sink.SetOwner(&dialog);
        dialog.SetFailureWatch(&failures);
        dialog.WatchStopFlag(&g_stopSignal);
        dialog.Run();
    } // the windows end with the main window, before the objects they show
    sink.SetModal(true);
    objects.DestroyAll();
    SetEventLog(nullptr);
    SetMessageSink(nullptr);
    return 0;
}
