// The built desktop program, run as a user would run it: on a virtual camera,
// in a home folder of its own, ended by the session's polite SIGTERM.
#include "TempDir.h"
#include "main/StartSignal.h"

#include <QLocalServer>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// One run of the program; killed at the end if it is still there.
class ProgramRun {
public:
    ProgramRun(const CTempDir& home, const std::vector<std::string>& args) {
        m_pid = ::fork();
        if (m_pid != 0)
            return;
        ::setenv("OCULON_HOME", home.Path().c_str(), 1);
        ::setenv("OCULON_DEVICES", home.File("devices.txt").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::vector<char*> argv{const_cast<char*>(OCULON_GUI_EXE)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(OCULON_GUI_EXE, argv.data());
        ::_exit(127);
    }
    ~ProgramRun() {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    void Terminate() { ::kill(m_pid, SIGTERM); }
    void Kill() {
        ::kill(m_pid, SIGKILL);
        WaitForExit(60);
    }

    // Waits at most `seconds` for the program to end; its exit code, or -1
    // when it is still running or ended by a signal.
    int WaitForExit(int seconds) {
        for (int i = 0; i < seconds * 20; ++i) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_ended = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    bool m_ended = false;
};

bool WaitForFile(const std::string& path, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (::access(path.c_str(), F_OK) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void WriteDevices(const CTempDir& home) {
    WriteFileBytes(
        home.File("devices.txt"),
        "# one virtual camera\nGrey Scene|lavfi:color=c=0x606060:size=320x240:rate=25\n");
}

} // namespace

TEST(Program, RunsOnAVirtualCameraAndSavesItsSettingsWhenAskedToEnd) {
    CTempDir home;
    WriteDevices(home);
    ProgramRun run(home, {});
    ASSERT_TRUE(WaitForFile(home.File("oculon.ini"), 60));
    run.Terminate();
    ASSERT_EQ(run.WaitForExit(60), 0);
    const std::string ini = ReadFileBytes(home.File("oculon.ini"));
    EXPECT_NE(ini.find("<VIDEO_SRC>Grey Scene</VIDEO_SRC>"), std::string::npos) << ini;
    // Centred on the offscreen desktop (800 x 800) at the first start.
    EXPECT_NE(ini.find("APP_POSX=214\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("APP_POSY=200\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("APP_BUTS=1\n"), std::string::npos);
}

TEST(Program, ASecondStartBringsUpTheOneInTrayModeAndEnds) {
    CTempDir home;
    WriteDevices(home);
    const QString name = CStartSignal::ServerName(home.Folder());
    ProgramRun tray(home, {"CMDARG_STRAY"});
    const std::string socket = name.toStdString();
    ASSERT_TRUE(WaitForFile(socket, 60));
    {
        ProgramRun second(home, {});
        EXPECT_EQ(second.WaitForExit(60), 0);
    }
    // The first one sits in its "no notification area" message box: end it hard.
    tray.Kill();
    QLocalServer::removeServer(name);
}
