#pragma once
// Runs mail_sink.py (aiosmtpd) as a child on 127.0.0.1 and stops it again.
#include "PortReportingChild.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

inline std::string SystemPython() {
    // Debian's interpreter is the one its python3-aiosmtpd package serves.
    return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

inline std::string MailSinkScript() {
    return std::string(OCULON_SOURCE_DIR) + "/tests/support/mail_sink.py";
}

// A self-signed certificate (its own trust anchor) for subjectAltName
// ("IP:127.0.0.1", "DNS:host"), made in folder by openssl: "CERT,KEY", as the
// sink's starttls= and implicit= options take it; empty when openssl failed.
inline std::string MakeSinkCertificate(const std::string& folder, const std::string& name,
                                       const std::string& subjectAltName) {
    const std::string cert = folder + "/" + name + ".pem";
    const std::string key = folder + "/" + name + ".key";
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=" + name +
        " -addext subjectAltName=" + subjectAltName + " -keyout '" + key + "' -out '" + cert +
        "' 2>/dev/null";
    return std::system(command.c_str()) == 0 ? cert + "," + key : std::string();
}

// The certificate of MakeSinkCertificate's "CERT,KEY", for a client to trust.
inline std::string SinkCertificateFile(const std::string& files) {
    return files.substr(0, files.find(','));
}

class CMailSinkProcess {
public:
    // Extra arguments go to the sink (a fixed port, TLS files, a login; see mail_sink.py).
    explicit CMailSinkProcess(const std::string& folder, int port = 0,
                              const std::vector<std::string>& options = {})
        : m_folder(folder), m_child(Arguments(folder, port, options)) {}
    CMailSinkProcess(const CMailSinkProcess&) = delete;
    CMailSinkProcess& operator=(const CMailSinkProcess&) = delete;

    int Port() const { return m_child.Port(); }

    // Waits (bounded) for the n-th saved message and returns its path.
    std::string WaitForMail(int n) const {
        const std::string path = m_folder + "/mail" + std::to_string(n) + ".eml";
        for (int i = 0; i < 1000 && !std::filesystem::exists(path); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return std::filesystem::exists(path) ? path : std::string();
    }

    // Decodes a saved message with Python's email package into folder.
    static bool Decode(const std::string& message, const std::string& folder) {
        const std::string command = SystemPython() + " '" + MailSinkScript() + "' decode '" +
                                    message + "' '" + folder + "'";
        return std::system(command.c_str()) == 0;
    }

private:
    static std::vector<std::string> Arguments(const std::string& folder, int port,
                                              const std::vector<std::string>& options) {
        std::vector<std::string> args{SystemPython(), MailSinkScript(),    "serve", folder,
                                      "120",          std::to_string(port)};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }

    std::string m_folder;
    CPortReportingChild m_child;
};
