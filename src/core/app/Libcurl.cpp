#include "app/Libcurl.h"

#include "app/OnDemandLibrary.h"

const CLibcurl* Libcurl(std::string* error) {
    static COnDemandLibrary library("libcurl.so.4");
    // Found and set up once, before any caller gets the functions: the
    // library's global set-up is not safe against other threads using it.
    static const CLibcurl* const functions = []() -> const CLibcurl* {
        static CLibcurl found;
#define OCULON_LIBCURL_FIND(name) library.Find(found.name, "curl_" #name);
        OCULON_LIBCURL_FUNCTIONS(OCULON_LIBCURL_FIND)
#undef OCULON_LIBCURL_FIND
        if (!library.Complete())
            return nullptr;
        return found.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK ? &found : nullptr;
    }();
    if (!functions && error)
        *error = library.Error().empty() ? "libcurl could not be set up" : library.Error();
    return functions;
}
