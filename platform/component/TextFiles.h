#pragma once
// Whole files, read at once and replaced atomically: the registry, text property bags, saved
// control streams and the modules whose resources are read.
#include <string>
#include <string_view>

namespace qxm {

// Reads the whole file. 0, or the errno of the failure (ENOENT when it does not exist).
int readWholeFile(const std::string& path, std::string& text);

// Writes text to a temporary file beside path, flushes it to disk and renames it over path,
// so readers see the old or the new file, never a part. A file being replaced keeps its
// permissions; a new one gets 0644. 0, or the errno of the failure with *what saying which
// step failed ("cannot write /x/registry.AbC123"); the temporary file is gone then.
int replaceFileAtomically(const std::string& path, std::string_view text, std::string* what);

} // namespace qxm
