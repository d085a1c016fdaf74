// The desktop program: builds the application objects, runs the main window
// modally, tears everything down in order when it has ended.
#include "DlgMain.h"
#include "QtMessageSink.h"

#include "app/AppObjects.h"
#include "app/Clock.h"
#include "app/CommandLine.h"
#include "app/HomeFolder.h"
#include "app/MessageSink.h"
#include "app/Restart.h"

#include <QApplication>
#include <chrono>
#include <thread>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CQtMessageSink sink;
    SetMessageSink(&sink);
    SetAppCaption("oculon");
    IgnoreBrokenPipes();

    g_appObjects.CreateAll(ResolveHomeFolder(), ExecutablePath(),
                           CCommandLine::JoinArguments(argc, argv));
    if (g_appObjects.m_pCommandLine->m_bDelayStart)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    {
        DLG_Main dialog(CSystemClock::Instance());
        dialog.exec();
        g_appObjects.DestroyAll();
    }
    SetMessageSink(nullptr);
    return 0;
}
