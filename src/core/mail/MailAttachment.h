#pragma once
#include <string>
#include <string_view>

// One file attached to a mail, held as its base64 text.
class CMailAttachment {
public:
    // Reads the whole file and encodes it; false (and nothing kept, so the
    // name is empty) for an empty path or a file that cannot be read.
    bool Load(const std::string& path);

    // Standard base64 with a CR LF after every 76 characters and one final CR LF
    // (empty data gives a lone CR LF).
    static std::string Base64Encode(std::string_view data);

    const std::string& Name() const { return m_name; }
    const std::string& FileName() const { return m_fileName; }
    const std::string& Data() const { return m_data; }
    int Length() const { return static_cast<int>(m_data.size()); }

    std::string m_name;     // the part's name= parameter
    std::string m_fileName; // the part's filename= parameter
    std::string m_data;     // base64 text of the file
    // The part's type: "video/mp4" for an MP4 movie, so phones play it in
    // place; every other file goes as the described octet stream.
    std::string m_contentType = "application/octet-stream";

private:
    void Clear();
};
