#pragma once
#include <string>

// oculon-headless --test-mail: sends a test mail with the settings of the home
// folder, writes the conversation (login hidden) and the verdict as event
// lines, and returns the exit code: 0 when the server took the mail, else 1.
int RunHeadlessTestMail(const std::string& homeFolder, const std::string& programPath);
