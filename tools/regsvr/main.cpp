// qxmregsvr [-u] MODULE: registers (or with -u unregisters) a component module through its
// DllRegisterServer (DllUnregisterServer) entry, prints the entry's result code and exits 0
// on success, 1 when the entry failed, 2 for a usage error, 3 when the module cannot be
// loaded or lacks the entry.
#include "platform/component/HResult.h"
#include "platform/component/Module.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    bool unregister = false;
    const char* module = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 && !module) {
            unregister = true;
        } else if ((std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0)) {
            std::printf("usage: qxmregsvr [-u] MODULE\n");
            return 0;
        } else if (!module && argv[i][0] != '-') {
            module = argv[i];
        } else {
            module = nullptr;
            break;
        }
    }
    if (!module) {
        std::fprintf(stderr, "usage: qxmregsvr [-u] MODULE\n");
        return 2;
    }
    std::string message;
    qxm::HRESULT hr = qxm::runModuleRegistration(module, unregister, &message);
    std::printf("%s\n", qxm::formatHResult(hr).c_str());
    std::fflush(stdout);
    if (qxm::succeeded(hr)) return 0;
    std::fprintf(stderr, "qxmregsvr: %s\n", message.c_str());
    return hr == qxm::CO_E_DLLNOTFOUND || hr == qxm::CO_E_ERRORINDLL ? 3 : 1;
}
