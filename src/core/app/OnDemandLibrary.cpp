#include "app/OnDemandLibrary.h"

#include <dlfcn.h>

COnDemandLibrary::COnDemandLibrary(const char* soname)
    : m_handle(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)), m_complete(m_handle != nullptr) {
    if (!m_handle) {
        const char* why = ::dlerror();
        m_error = why ? why : std::string("cannot open ") + soname;
    }
}

void* COnDemandLibrary::Address(const char* name) {
    if (!m_handle)
        return nullptr;
    ::dlerror();
    void* address = ::dlsym(m_handle, name);
    if (!address) {
        m_complete = false;
        const char* why = ::dlerror();
        m_error = why ? why : std::string("no ") + name;
    }
    return address;
}
