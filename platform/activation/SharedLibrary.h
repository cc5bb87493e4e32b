#pragma once
// A module file opened with the dynamic loader and its entries looked up by name; closed when
// the object goes unless released to a longer-lived owner.
#include "platform/component/HResult.h"

#include <string>

namespace qxm {

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads file, all symbols bound now and kept local. CO_E_DLLNOTFOUND with *message
    // "cannot load module NAME: why" (NAME is shownName) when the loader refuses it.
    HRESULT open(const std::string& file, const std::string& shownName, std::string* message);

    // The entry called name, or null when the module has none.
    template <class Fn> Fn symbol(const char* name) const {
        return reinterpret_cast<Fn>(lookup(name));
    }
    // An entry the module must have: CO_E_ERRORINDLL with *message "module NAME has no entry
    // ENTRY" when it is missing.
    template <class Fn> HRESULT entry(const char* name, Fn& fn, std::string* message) const {
        fn = symbol<Fn>(name);
        return fn ? S_OK : missingEntry(name, message);
    }

    // Hands the loader's handle over (the caller closes it with dlclose).
    void* release();

private:
    void* lookup(const char* name) const;
    HRESULT missingEntry(const char* name, std::string* message) const;

    void* handle_ = nullptr;
    std::string name_;
};

} // namespace qxm
