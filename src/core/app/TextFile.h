#pragma once
#include <string>

// One file's whole text, read or written in one call, with the described
// message box on failure when asked for.
class CTextFile {
public:
    CTextFile(std::string path, bool createParentFolder);
    virtual ~CTextFile() = default;

    bool Exists() const;
    // Something exists at the path, whether or not it can be read.
    bool IsPresent() const;
    // Empty on failure.
    std::string ReadText(bool showErrors) const;
    // The same; `error` (the operating-system error, 0 when none) tells a read
    // failure from an empty file.
    std::string ReadText(bool showErrors, int& error) const;
    // The file's length after writing; 0 on failure. A symbolic link is written
    // through to its target. The old file stays intact until the new text is
    // completely on disk, except where no temporary file can be made beside it:
    // then the file is rewritten in place. A file the user may not write is
    // left alone (access denied).
    size_t WriteText(const std::string& text, bool showErrors) const;

    const std::string& Path() const { return m_path; }

    // The user-facing description of an operating-system error for a path.
    static std::string FileErrorText(int osError, const std::string& path);

private:
    std::string m_path;
};

// Creates the folder at `path` (one level); existing folders and failures are ignored.
void CreateFolder(const std::string& path);
