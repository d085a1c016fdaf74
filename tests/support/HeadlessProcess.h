#pragma once
// oculon-headless as a child process for whole-program tests: its event lines
// are read as they come, every wait is bounded, and a child still running when
// the test ends (a failed assertion included) is killed with its process group.
#include "TempDir.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

class CHeadlessProcess {
public:
    struct Options {
        std::string home;                     // --home
        std::string devicesFile;              // OCULON_DEVICES
        std::vector<std::string> args;        // further arguments, e.g. {"--run-for", "8"}
        std::vector<std::string> env;         // further NAME=VALUE entries
        rlim_t fileSizeLimit = RLIM_INFINITY; // RLIMIT_FSIZE: a disk that is full
    };

    explicit CHeadlessProcess(const Options& options) { Start(options); }
    ~CHeadlessProcess() {
        if (m_pid > 0 && !m_exited) {
            ::kill(-m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (int fd : {m_out, m_err})
            if (fd >= 0)
                ::close(fd);
    }
    CHeadlessProcess(const CHeadlessProcess&) = delete;
    CHeadlessProcess& operator=(const CHeadlessProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // The first line from index `from` on that starts with `prefix`, waiting at
    // most `timeoutMs`; "" when none came (or the program ended without it).
    std::string WaitForLine(const std::string& prefix, int timeoutMs, size_t from = 0,
                            size_t* index = nullptr) {
        const auto deadline = Now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (size_t i = from; i < m_lines.size(); ++i) {
                if (m_lines[i].rfind(prefix, 0) == 0) {
                    if (index)
                        *index = i;
                    return m_lines[i];
                }
            }
            if (m_exited || Now() >= deadline)
                return "";
            Pump(deadline);
        }
    }

    // Exit status (128 + signal when killed by one); -1 when it had not ended
    // within `timeoutMs`, after which it is killed.
    int WaitForExit(int timeoutMs) {
        const auto deadline = Now() + std::chrono::milliseconds(timeoutMs);
        while (!m_exited && Now() < deadline)
            Pump(deadline);
        if (!m_exited) {
            ::kill(-m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_exited = true;
            m_status = -1;
        }
        DrainPipes();
        return m_status;
    }

    void Signal(int sig) {
        if (m_pid > 0 && !m_exited)
            ::kill(m_pid, sig);
    }

    const std::vector<std::string>& Lines() const { return m_lines; }
    // Every line that starts with `prefix`, without the prefix, in order.
    std::vector<std::string> Values(const std::string& prefix) const {
        std::vector<std::string> values;
        for (const auto& line : m_lines)
            if (line.rfind(prefix, 0) == 0)
                values.push_back(line.substr(prefix.size()));
        return values;
    }
    // Position of the first line equal to `line`, or -1.
    int IndexOf(const std::string& line) const {
        const auto it = std::find(m_lines.begin(), m_lines.end(), line);
        return it == m_lines.end() ? -1 : static_cast<int>(it - m_lines.begin());
    }
    // Everything it wrote, for failure messages.
    std::string Transcript() const {
        std::string text;
        for (const auto& line : m_lines)
            text += line + "\n";
        return text + "-- stderr --\n" + m_errText;
    }

private:
    using Clock = std::chrono::steady_clock;
    static Clock::time_point Now() { return Clock::now(); }

    void Start(const Options& o) {
        std::vector<std::string> args = {OCULON_HEADLESS_EXE, "--home", o.home};
        args.insert(args.end(), o.args.begin(), o.args.end());
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("OCULON_DEVICES=", 0) != 0 && entry.rfind("SDL_AUDIODRIVER=", 0) != 0)
                env.push_back(entry);
        }
        env.push_back("OCULON_DEVICES=" + o.devicesFile);
        env.push_back("SDL_AUDIODRIVER=dummy");
        env.insert(env.end(), o.env.begin(), o.env.end());
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        const rlimit limit{o.fileSizeLimit, o.fileSizeLimit};
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only async-signal-safe calls from here on.
            ::setpgid(0, 0);
            const int devNull = ::open("/dev/null", O_RDONLY);
            ::dup2(devNull, 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            if (o.fileSizeLimit != RLIM_INFINITY) {
                // A write past the limit then fails with EFBIG, as on a full disk,
                // instead of ending the program.
                ::signal(SIGXFSZ, SIG_IGN);
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        if (m_pid < 0) {
            m_exited = true;
            return;
        }
        ::setpgid(m_pid, m_pid); // also from here, whichever runs first
    }

    // Reads what the child wrote until `deadline` or until something came.
    void Pump(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Now()).count();
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        const int n = ::poll(fds, 2, static_cast<int>(std::clamp<long long>(left, 0, 50)));
        if (n > 0) {
            if (fds[0].revents)
                ReadInto(m_out, m_outText, true);
            if (fds[1].revents)
                ReadInto(m_err, m_errText, false);
        }
        ReapIfEnded();
    }

    void ReadInto(int& fd, std::string& text, bool lines) {
        if (fd < 0)
            return;
        char buffer[8192];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                return;
            ::close(fd);
            fd = -1;
            return;
        }
        text.append(buffer, static_cast<size_t>(n));
        if (!lines)
            return;
        for (size_t end; (end = text.find('\n')) != std::string::npos;) {
            m_lines.push_back(text.substr(0, end));
            text.erase(0, end + 1);
        }
    }

    void ReapIfEnded() {
        if (m_exited || m_pid <= 0)
            return;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) != m_pid)
            return;
        m_exited = true;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        DrainPipes();
    }

    // After the end: whatever is still in the pipes.
    void DrainPipes() {
        for (int guard = 0; guard < 10000 && (m_out >= 0 || m_err >= 0); ++guard) {
            pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
            if (::poll(fds, 2, 100) <= 0)
                return;
            if (fds[0].revents)
                ReadInto(m_out, m_outText, true);
            if (fds[1].revents)
                ReadInto(m_err, m_errText, false);
        }
    }

    pid_t m_pid = -1;
    bool m_exited = false;
    int m_status = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_outText;
    std::string m_errText;
    std::vector<std::string> m_lines;
};

// A home folder with a settings file and a list of virtual cameras, for one
// or more runs of oculon-headless.
class CHeadlessHome {
public:
    // `devices`: lines "NAME|SOURCE"; `settings`: the start of oculon.ini.
    CHeadlessHome(const std::string& devices, const std::string& settings)
        : m_home(m_dir.File("home")), m_devices(m_dir.File("devices.txt")) {
        std::filesystem::create_directories(m_home);
        WriteFileBytes(m_devices, "# virtual cameras of this test\n" + devices);
        WriteFileBytes(SettingsPath(), settings);
    }

    const std::string& Home() const { return m_home; }
    std::string Archive() const { return m_home + "/captured"; }
    std::string SettingsPath() const { return m_home + "/oculon.ini"; }
    std::string Settings() const { return ReadFileBytes(SettingsPath()); }
    // A scratch file beside the home folder.
    std::string File(const std::string& name) const { return m_dir.File(name); }

    CHeadlessProcess::Options Run(std::vector<std::string> args = {}) const {
        CHeadlessProcess::Options o;
        o.home = m_home;
        o.devicesFile = m_devices;
        o.args = std::move(args);
        return o;
    }

private:
    CTempDir m_dir;
    std::string m_home;
    std::string m_devices;
};

// The noisy grey scene with a small white box crossing it while the
// expression `enable` (of the time t) holds: motion at every step whatever the
// step rate, where a flashing box could be sampled in step with its own
// period. `length` > 0 ends the stream after that many seconds; `after` adds
// filters behind the scene (time stamps changed there change its pacing).
inline std::string BoxScene(int rate, const std::string& enable, double length = 0,
                            const std::string& after = "") {
    std::string source = ":r=" + std::to_string(rate);
    if (length > 0) {
        char d[32];
        std::snprintf(d, sizeof d, ":d=%g", length);
        source += d; // both inputs: the box alone would keep the scene going
    }
    std::string scene = "lavfi:color=c=gray:s=320x240" + source +
                        ",noise=alls=8:allf=t[bg];color=c=white:s=40x40" + source +
                        "[box];[bg][box]overlay=x='mod(t*130\\,280)':y=100:enable='" + enable + "'";
    if (!after.empty())
        scene += "," + after;
    return scene + "[out0]";
}

// The box crosses the scene between seconds `from` and `to`.
inline std::string MovingBoxScene(int rate, double from, double to) {
    char window[64];
    std::snprintf(window, sizeof window, "between(t,%g,%g)", from, to);
    return BoxScene(rate, window);
}
