#pragma once
// Whole files, read at once and replaced atomically: the registry, text property bags, saved
// control streams, the modules whose resources are read, the frame cache's files.
#include <string>
#include <string_view>

namespace qxm {

// Reads the whole file. 0, or the errno of the failure (ENOENT when it does not exist).
int readWholeFile(const std::string& path, std::string& text);

// The file that replacing `path` must replace: path itself when it is a regular file or does
// not exist yet; for a symbolic link the file it names, followed to the end of the chain (the
// link stays). 0 with *target set, or an errno with *what saying why: EISDIR for a folder,
// EINVAL for a FIFO, device or socket (those are never replaced by a regular file), ELOOP for a
// chain of links that does not end.
int replacementTarget(const std::string& path, std::string* target, std::string* what);

// Writes text to a temporary file beside path, flushes it to disk and renames it over path,
// so readers see the old or the new file, never a part. A file being replaced keeps its
// permissions; a new one gets 0644. A symbolic link is followed (see replacementTarget) and
// anything but a regular file is refused untouched. 0, or the errno of the failure with *what
// saying which step failed ("cannot write /x/registry.AbC123"); the temporary file is gone then.
int replaceFileAtomically(const std::string& path, std::string_view text, std::string* what);

// Puts a finished temporary file in place of target: flushes it to disk, closes it, renames it
// over target and makes the rename durable. fd is tmp's open descriptor, closed here, or -1
// when tmp is not open. 0, or the errno of the failure with *what saying which step failed;
// tmp is gone then and target is as it was.
int commitTemporaryFile(int fd, const std::string& tmp, const std::string& target,
                        std::string* what);

} // namespace qxm
