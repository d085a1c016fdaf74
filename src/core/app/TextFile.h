#pragma once
#include <string>

// One file's whole text, read or written in one call, with the described
// message box on failure when asked for.
class CTextFile {
public:
    CTextFile(std::string path, bool createParentFolder);
    virtual ~CTextFile() = default;

    bool Exists() const;
    // Empty on failure.
    std::string ReadText(bool showErrors) const;
    // The file's length after writing; 0 on failure. The old file stays intact
    // until the new text is completely on disk.
    size_t WriteText(const std::string& text, bool showErrors) const;

    const std::string& Path() const { return m_path; }

    // The user-facing description of an operating-system error for a path.
    static std::string FileErrorText(int osError, const std::string& path);

private:
    std::string m_path;
};

// Creates the folder at `path` (one level); existing folders and failures are ignored.
void CreateFolder(const std::string& path);
