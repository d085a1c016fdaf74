#include "mail/MailPassword.h"

#include "mail/MailText.h"

#include "app/OnDemandLibrary.h"

#include <libsecret/secret.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const SecretSchema* Schema() {
    static const SecretSchema schema = {"org.oculon.Mail",
                                        SECRET_SCHEMA_NONE,
                                        {{"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

// libsecret is opened the first time a password is stored or looked up
// while a keyring runs, not at start.
struct CLibsecret {
    decltype(&::secret_password_store_sync) store = nullptr;
    decltype(&::secret_password_lookup_sync) lookup = nullptr;
    decltype(&::secret_password_clear_sync) clear = nullptr;
    decltype(&::secret_password_free) free = nullptr;
};

// Null when it cannot be loaded: the password then goes to the file, as
// without a keyring.
const CLibsecret* Libsecret() {
    static COnDemandLibrary library("libsecret-1.so.0");
    static const CLibsecret* const functions = []() -> const CLibsecret* {
        static CLibsecret found;
        library.Find(found.store, "secret_password_store_sync");
        library.Find(found.lookup, "secret_password_lookup_sync");
        library.Find(found.clear, "secret_password_clear_sync");
        library.Find(found.free, "secret_password_free");
        return library.Complete() ? &found : nullptr;
    }();
    return functions;
}

std::string FilePath(const std::string& home) {
    return home + (home.empty() || home.back() == '/' ? "" : "/") + mail_password::kFileName;
}

// One line per login: base64 of "server\nuser", a blank, base64 of the password.
std::string Key(const std::string& server, const std::string& user) {
    return mail_text::Base64(server + "\n" + user);
}

std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return lines;
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

bool StoreInFile(const std::string& home, const std::string& key, const std::string& password) {
    const std::string path = FilePath(home);
    std::string text;
    for (const std::string& line : FileLines(path)) {
        if (!line.starts_with(key + " "))
            text += line + "\n";
    }
    if (!password.empty())
        text += key + " " + mail_text::Base64(password) + "\n";
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0600);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written && ::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace

namespace mail_password {

bool KeyringRunning() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        return false;
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    g_clear_error(&error);
    g_object_unref(bus);
    return owned;
}

bool Store(const std::string& homeFolder, const std::string& server, const std::string& user,
           const std::string& password, std::string* where) {
    const CLibsecret* secret = KeyringRunning() ? Libsecret() : nullptr;
    if (secret) {
        GError* error = nullptr;
        const gboolean done =
            password.empty()
                ? (secret->clear(Schema(), nullptr, &error, "server", server.c_str(), "user",
                                 user.c_str(), nullptr),
                   error == nullptr)
                : secret->store(Schema(), SECRET_COLLECTION_DEFAULT,
                                ("Oculon mail login " + user + " at " + server).c_str(),
                                password.c_str(), nullptr, &error, "server", server.c_str(), "user",
                                user.c_str(), nullptr);
        g_clear_error(&error);
        if (done) {
            if (where)
                *where = "keyring";
            StoreInFile(homeFolder, Key(server, user), ""); // no stale copy left behind
            return true;
        }
    }
    if (where)
        *where = FilePath(homeFolder);
    return StoreInFile(homeFolder, Key(server, user), password);
}

std::string Load(const std::string& homeFolder, const std::string& server,
                 const std::string& user) {
    if (const CLibsecret* secret = KeyringRunning() ? Libsecret() : nullptr) {
        GError* error = nullptr;
        gchar* found = secret->lookup(Schema(), nullptr, &error, "server", server.c_str(), "user",
                                      user.c_str(), nullptr);
        g_clear_error(&error);
        if (found) {
            std::string password = found;
            secret->free(found);
            return password;
        }
    }
    const std::string key = Key(server, user) + " ";
    for (const std::string& line : FileLines(FilePath(homeFolder))) {
        if (line.starts_with(key))
            return mail_text::FromBase64(line.substr(key.size()));
    }
    return {};
}

} // namespace mail_password
