// The Movie Object File reader on arbitrary files. The movie it names is looked up next to the
// file, in a folder holding one movie file of a mixed-case name.
#include "editor/anchors/MovieObjectFile.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    qxm::fuzz::silencePrompts();
    static const std::string movie =
        qxm::fuzz::writeScratchFile("Clip.AVI", reinterpret_cast<const uint8_t*>("x"), 1);
    const std::string path = qxm::fuzz::writeScratchFile("movie.mob", data, size);
    const auto object = qxm::anchors::ReadMovieObjectFile(path);
    if (object) QXM_FUZZ_CHECK(!object->MoviePath.empty());
    return 0;
}
