#pragma once
// Helpers shared by the fuzz targets: a private temporary folder for readers that take a path,
// and a prompter that keeps the messages of malformed inputs off the terminal.
#include "platform/prompter/Prompter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace qxm::fuzz {

// A folder of its own under $TMPDIR for the whole run, removed at exit.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/qxmfuzz.XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        static std::string removeAtExit;
        removeAtExit = pattern;
        std::atexit([] { (void)std::system(("rm -rf '" + removeAtExit + "'").c_str()); });
        return pattern;
    }();
    return folder;
}

// Writes the bytes to a file of that name in the scratch folder; returns its path.
inline std::string writeScratchFile(const std::string& name, const uint8_t* data, std::size_t size) {
    const std::string path = scratchFolder() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
    return path;
}

// Answers every message with its first button and shows nothing.
class SilentPrompter : public PromptHandler {
public:
    Answer ask(const Prompt& prompt) override { return defaultAnswer(prompt.buttons); }
    std::optional<std::string> chooseOpenFile(const FileRequest&) override { return {}; }
};

inline void silencePrompts() {
    static SilentPrompter silent;
    setPromptHandler(&silent);
}

inline std::string_view asText(const uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A property the reader broke: stop the run as a finding.
#define QXM_FUZZ_CHECK(cond)                                                                      \
    do {                                                                                          \
        if (!(cond)) {                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);        \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

} // namespace qxm::fuzz
