#include "platform/activation/SharedLibrary.h"

#include <dlfcn.h>

namespace qxm {

SharedLibrary::~SharedLibrary() {
    if (handle_) dlclose(handle_);
}

HRESULT SharedLibrary::open(const std::string& file, const std::string& shownName,
                            std::string* message) {
    if (handle_) dlclose(handle_);
    name_ = shownName;
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) return S_OK;
    const char* why = dlerror();
    if (message)
        *message = "cannot load module " + shownName + ": " + (why ? why : "unknown error");
    return CO_E_DLLNOTFOUND;
}

void* SharedLibrary::lookup(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

HRESULT SharedLibrary::missingEntry(const char* name, std::string* message) const {
    if (message) *message = "module " + name_ + " has no entry " + name;
    return CO_E_ERRORINDLL;
}

void* SharedLibrary::release() {
    void* h = handle_;
    handle_ = nullptr;
    return h;
}

} // namespace qxm
