// Any bytes in oculon.ini must load without a crash, within the load limits,
// and survive a save and a second load unchanged.
#include "app/AppSettings.h"
#include "app/MessageSink.h"
#include "app/TagParser.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class CSilentSink : public IMessageSink {
public:
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
};

const std::string& Home() {
    static const std::string home = [] {
        // Memory-backed when possible: every run syncs the file it saves.
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "oculon-fuzz-XXXXXX").string();
        return std::string(::mkdtemp(pattern.data())) + "/";
    }();
    return home;
}

bool InRange(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CSilentSink sink;
    SetMessageSink(&sink);
    const CTagParser parser(false);
    // Loading creates the archive folder the file names; a fuzzed path would
    // litter the machine, so the archive tag is taken out and the default
    // folder inside the fuzz home is used.
    std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t at; (at = text.find("<CAPTURE_PTH>")) != std::string::npos;)
        text.erase(at, 13);
    {
        std::ofstream out(Home() + "oculon.ini", std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string first;
    {
        CAppSettings settings(parser, Home(), "/usr/bin/oculon");
        if (!InRange(settings.VIDEO_OPA, 0, 100) || !InRange(settings.MOTION_FPS, 1, 60) ||
            !InRange(settings.MOTION_WRM, 1, 600) || !InRange(settings.MOTION_THR, 5, 500) ||
            !InRange(settings.MOTION_R_RIG, 0, 320) || !InRange(settings.MOTION_R_BOT, 0, 240) ||
            !InRange(settings.CAPTURE_MAX_S, 10, 300) || !InRange(settings.CAPTURE_JPQ, 10, 90) ||
            settings.VIDEO_OVE.empty() || settings.CAPTURE_PTH.empty())
            std::abort();
        first = settings.FileText();
    } // saves
    CAppSettings again(parser, Home(), "/usr/bin/oculon");
    // Strings that hold tag or key text may legitimately read back differently
    // (first occurrence wins); every other file must survive a round trip.
    const bool plain = [&] {
        for (const std::string* v :
             {&again.VIDEO_OVE, &again.VIDEO_SRC, &again.CAPTURE_PTH, &again.EMAIL_SMTP,
              &again.EMAIL_FROM, &again.EMAIL_TO, &again.EMAIL_CUS})
            if (v->find_first_of("<>=") != std::string::npos)
                return false;
        return true;
    }();
    if (first.rfind("[OCULON INI FILE]\n", 0) != 0 || first.back() != '\n')
        std::abort();
    if (plain && again.FileText() != first)
        std::abort();
    return 0;
}
