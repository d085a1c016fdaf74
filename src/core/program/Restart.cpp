#include "program/Restart.h"

#include <csignal>
#include <spawn.h>

extern char** environ;

bool StartProgramAgain(const std::string& executablePath) {
    if (executablePath.empty())
        return false;
    char* argv[] = {const_cast<char*>(executablePath.c_str()), nullptr};
    pid_t pid = 0;
    return ::posix_spawn(&pid, executablePath.c_str(), nullptr, nullptr, argv, environ) == 0;
}

void IgnoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

void InstallStopSignals(void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}
