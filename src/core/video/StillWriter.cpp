#include "video/StillWriter.h"

#include "app/AppSettings.h"

#include <cstdio>

bool CStillWriter::Wanted(int n, const CAppSettings& s, uint64_t frameSequence) {
    const bool repeated = m_offered && frameSequence == m_lastSequence;
    m_lastSequence = frameSequence;
    m_offered = true;
    const bool archived = s.CAPTURE_JPG != 0;
    const bool mailed = s.EMAIL_ENA != 0 && s.EMAIL_JPG != 0;
    if (n == 1)
        return archived || mailed;
    return archived && !repeated;
}

std::string CStillWriter::BaseName(const std::string& stampText) {
    std::string name = stampText;
    for (char& c : name) {
        if (c == '/')
            c = '-';
        else if (c == ':' || c == '.')
            c = '=';
    }
    return name;
}

std::string CStillWriter::StillDir(const std::string& archive, const std::string& stampText) {
    return archive + "/" + BaseName(stampText) + "-jpg";
}

std::string CStillWriter::StillName(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "Frame_%06d.jpg", n);
    return name;
}
