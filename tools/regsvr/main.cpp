// qxmregsvr [-u] MODULE: registers (or with -u unregisters) a component module through its
// DllRegisterServer (DllUnregisterServer) entry, prints the entry's result code and exits 0
// on success, 1 when the entry failed, 2 for a usage error, 3 when the module cannot be
// loaded or lacks the entry.
// qxmregsvr -v MODULE: prints the module's version block, one "Name=Value" line each, read
// from the file without loading it (exit 3 when it cannot be read or has none).
#include "QxmVersion.h"
#include "platform/activation/Module.h"
#include "platform/activation/ModuleResources.h"
#include "platform/component/HResult.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const kUsage = "usage: qxmregsvr [-u] MODULE\n       qxmregsvr -v MODULE\n"
                           "       qxmregsvr --help | --version\n";

int printVersion(const char* module) {
    qxm::VersionInfo info;
    std::string message;
    const qxm::HRESULT hr = qxm::readModuleVersionInfo(module, info, &message);
    if (qxm::failed(hr)) {
        std::fprintf(stderr, "qxmregsvr: %s\n", message.c_str());
        return 3;
    }
    for (const auto& [name, value] : info)
        std::printf("%s=%s\n", name.c_str(), value.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool unregister = false, version = false;
    const char* module = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 && !module && !version) {
            unregister = true;
        } else if (std::strcmp(argv[i], "-v") == 0 && !module && !unregister) {
            version = true;
        } else if ((std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0)) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("qxmregsvr (%s) %s\n", QXM_PRODUCT, QXM_VERSION);
            return 0;
        } else if (!module && argv[i][0] != '-') {
            module = argv[i];
        } else {
            module = nullptr;
            break;
        }
    }
    if (!module) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (version) return printVersion(module);
    std::string message;
    qxm::HRESULT hr = qxm::runModuleRegistration(module, unregister, &message);
    std::printf("%s\n", qxm::formatHResult(hr).c_str());
    std::fflush(stdout);
    if (qxm::succeeded(hr)) return 0;
    std::fprintf(stderr, "qxmregsvr: %s\n", message.c_str());
    return hr == qxm::CO_E_DLLNOTFOUND || hr == qxm::CO_E_ERRORINDLL ? 3 : 1;
}
