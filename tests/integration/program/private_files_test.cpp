// What a run leaves behind is for its user alone, and only that user can ask
// the desktop program in the tray to come up.
#include "HeadlessProcess.h"
#include "RunCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <grp.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(PrivateFiles, FoldersAndFilesARunMakesAreTheUsersAlone) {
    // A first run into a home folder that does not exist yet.
    CTempDir fresh;
    WriteFileBytes(fresh.File("devices.txt"), "# none\n");
    const std::string home = fresh.File("new/home");
    const CommandResult first =
        RunCommand("OCULON_DEVICES=" + fresh.File("devices.txt") +
                   " " OCULON_HEADLESS_EXE " --home " + home + " --run-for 1 2>&1");
    ASSERT_EQ(first.exitCode, 0) << first.output;
    for (const std::string& folder : {fresh.File("new"), home, home + "/captured"})
        EXPECT_EQ(Mode(folder), 0700u) << folder;
    EXPECT_EQ(Mode(home + "/oculon.ini"), 0600u);

    // A capture in a home folder the user made: that folder keeps its mode,
    // what the program makes in it is private.
    CHeadlessHome made("Yard|" + MovingBoxScene(20, 2, 4) + "\n",
                       "MOTION_WRM=1\nCAPTURE_FPS=10\nCAPTURE_MIN_S=1\nCAPTURE_WMV=1\n"
                       "CAPTURE_JPG=1\n<VIDEO_SRC>Yard</VIDEO_SRC>\n");
    fs::permissions(made.Home(), fs::perms(0755));
    CHeadlessProcess run(made.Run());
    ASSERT_TRUE(run.Started());
    const std::string end = run.WaitForLine("movie: end ", 60000);
    ASSERT_FALSE(end.empty()) << run.Transcript();
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(60000), 0) << run.Transcript();
    const std::string movie = end.substr(11, end.rfind(' ') - 11);
    const auto stills = run.Values("still: ");
    ASSERT_FALSE(stills.empty()) << run.Transcript();
    EXPECT_EQ(Mode(made.Home()), 0755u);
    EXPECT_EQ(Mode(made.Archive()), 0700u);
    EXPECT_EQ(Mode(movie), 0600u) << movie;
    EXPECT_EQ(Mode(fs::path(stills[0]).parent_path()), 0700u);
    EXPECT_EQ(Mode(stills[0]), 0600u) << stills[0];
}

#ifdef OCULON_GUI_EXE
// 0 when a connection to the socket at `path` was made, else errno.
int ConnectTo(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int error = result == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

TEST(PrivateFiles, OnlyTheUserReachesTheStartSignal) {
    CTempDir dir;
    const std::string runtime = dir.File("run");
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms(0700));
    WriteFileBytes(dir.File("devices.txt"), "Grey|lavfi:color=c=0x606060:size=320x240:rate=10\n");
    const pid_t program = ::fork();
    if (program == 0) {
        ::setenv("OCULON_HOME", dir.File("home").c_str(), 1);
        ::setenv("OCULON_DEVICES", dir.File("devices.txt").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        ::execl(OCULON_GUI_EXE, OCULON_GUI_EXE, "CMDARG_STRAY", nullptr);
        ::_exit(127);
    }
    ASSERT_GT(program, 0);
    struct CEnd {
        pid_t pid;
        ~CEnd() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } end{program};

    // The tray program listens on the one socket in the runtime folder.
    std::string socket;
    for (int i = 0; i < 1200 && socket.empty(); ++i) {
        for (const auto& e : fs::directory_iterator(runtime))
            if (e.path().filename().string().rfind("oculon-", 0) == 0 && fs::is_socket(e.path()))
                socket = e.path().string();
        if (socket.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(socket.empty()) << "no start signal in " << runtime;
    // Qt moves the socket into place already owner-only (0700) and the
    // program trims it to 0600 just after; either way no one else may touch it.
    EXPECT_EQ(Mode(socket) & 0077u, 0u) << std::oct << Mode(socket);
    EXPECT_EQ(Mode(socket) & 0600u, 0600u) << std::oct << Mode(socket);
    EXPECT_EQ(Mode(runtime), 0700u);
    ASSERT_EQ(ConnectTo(socket), 0);

    if (::geteuid() != 0) {
        std::printf("not root: another account's attempt to connect is not tried\n");
        return;
    }
    const pid_t other = ::fork();
    if (other == 0) {
        const gid_t nogroup = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setresgid(nogroup, nogroup, nogroup) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(2);
        const int error = ConnectTo(socket);
        ::_exit(error == 0 ? 0 : error == EACCES ? 1 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1)
        << "0: it connected; 2: the account could not be changed; 3: another error";
}
#endif

} // namespace
