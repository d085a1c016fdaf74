#pragma once
#include <string>

// Starts the executable again with no arguments; the new process inherits the
// environment (and with it OCULON_HOME). False when it could not be started.
bool StartProgramAgain(const std::string& executablePath);

// A closed mail socket must not end the process: ignore SIGPIPE process-wide.
void IgnoreBrokenPipes();

// SIGINT and SIGTERM call `handler`, so a session that ends can close the
// program through its normal deferred close (the handler only sets a flag).
void InstallStopSignals(void (*handler)(int));
