#pragma once
#include <string>

// A shared library opened the first time a feature needs it, not at start.
// Every library loaded at start lengthens the loader's symbol lookups for all
// the others, so the libraries behind features that most runs never use (web
// requests, the MQTT link, the keyring) wait until they are wanted. Never
// closed: the functions found stay valid for the rest of the run.
class COnDemandLibrary {
public:
    explicit COnDemandLibrary(const char* soname);

    COnDemandLibrary(const COnDemandLibrary&) = delete;
    COnDemandLibrary& operator=(const COnDemandLibrary&) = delete;

    // Sets `function` to the library's function `name`, typed as the
    // library's own declaration; null when the library or the name is missing.
    template <class F> void Find(F*& function, const char* name) {
        function = reinterpret_cast<F*>(Address(name));
    }
    // True when the library opened and every function asked for was found.
    bool Complete() const { return m_complete; }
    // Why not, in the loader's words.
    const std::string& Error() const { return m_error; }

private:
    void* Address(const char* name);

    void* m_handle = nullptr;
    bool m_complete = false;
    std::string m_error;
};
