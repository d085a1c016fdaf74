#include "mail/MailAttachment.h"

#include "mail/MailText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void CMailAttachment::Clear() {
    m_name.clear();
    m_fileName.clear();
    m_data.clear();
    m_data.shrink_to_fit();
    m_contentType = "application/octet-stream";
}

bool CMailAttachment::Load(const std::string& path) {
    if (path.empty())
        return false;
    Clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    std::string raw;
    raw.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            // A file that cannot be read to its end is not attached half.
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        raw.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    m_data = Base64Encode(raw);
    const size_t slash = path.find_last_of('/');
    m_name = slash == std::string::npos ? path : path.substr(slash + 1);
    m_fileName = m_name;
    const bool mp4 = m_name.size() > 4 && m_name.compare(m_name.size() - 4, 4, ".mp4") == 0;
    m_contentType = mp4 ? "video/mp4" : "application/octet-stream";
    return true;
}

std::string CMailAttachment::Base64Encode(std::string_view data) {
    const std::string plain = mail_text::Base64(data);
    std::string out;
    out.reserve(plain.size() + plain.size() / 76 * 2 + 2);
    for (size_t i = 0; i < plain.size(); i += 76) {
        out.append(plain, i, 76);
        out += "\r\n";
    }
    // The last line's end doubles as the final one, unless the text filled its
    // last line exactly (or is empty): then one more CR LF follows.
    if (plain.size() % 76 == 0)
        out += "\r\n";
    return out;
}
