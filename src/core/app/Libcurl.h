#pragma once
#include <curl/curl.h>

#include <string>

// The libcurl functions the program calls, under their names without "curl_"
// (curl's header makes some of the full names type-checking macros).
// libcurl and the libraries it brings (LDAP, SSH, RTMP ...) are opened at the
// first web request (the version check, a phone push), not at start.
// clang-format off
#define OCULON_LIBCURL_FUNCTIONS(X) \
    X(global_init) \
    X(easy_init) \
    X(easy_setopt) \
    X(easy_perform) \
    X(easy_getinfo) \
    X(easy_strerror) \
    X(easy_reset) \
    X(easy_cleanup) \
    X(slist_append) \
    X(slist_free_all) \
    X(mime_init) \
    X(mime_addpart) \
    X(mime_name) \
    X(mime_data) \
    X(mime_filedata) \
    X(mime_type) \
    X(mime_free) \
    X(url) \
    X(url_set) \
    X(url_get) \
    X(url_cleanup) \
    X(free)
// clang-format on

struct CLibcurl {
#define OCULON_LIBCURL_MEMBER(name) decltype(&::curl_##name) name = nullptr;
    OCULON_LIBCURL_FUNCTIONS(OCULON_LIBCURL_MEMBER)
#undef OCULON_LIBCURL_MEMBER
};

// libcurl, opened and set up (curl_global_init) by the first caller on any
// thread; null, with the reason in `error`, when it cannot be loaded.
const CLibcurl* Libcurl(std::string* error = nullptr);
