#pragma once
#include <string>

// The mail login's password lives outside oculon.ini: in the desktop's Secret
// Service keyring when one is running, otherwise in a file of its own in the
// home folder that only its owner may read (mode 0600).
namespace mail_password {

constexpr const char* kFileName = "mail-passwords";

// Keeps the password for this server and user; where says "keyring" or the
// file's path. An empty password forgets it.
bool Store(const std::string& homeFolder, const std::string& server, const std::string& user,
           const std::string& password, std::string* where = nullptr);
// The stored password; empty when there is none.
std::string Load(const std::string& homeFolder, const std::string& server, const std::string& user);
// A Secret Service answers on the session bus (never starts one).
bool KeyringRunning();

} // namespace mail_password
