#pragma once
// Private files of the user in the runtime folder, shared by the top-level presence and the DDE
// stand-in: the folder itself, file names made from arbitrary text, and exclusive file locks.
//
// The runtime folder is $XDG_RUNTIME_DIR when set and not empty, else /tmp/qxm-runtime-<uid>.
// Every folder used here must be private: a real folder (not a symbolic link) owned by the
// effective user with mode 0700. A looser mode is narrowed to 0700; a folder owned by someone
// else, or one whose mode cannot be narrowed, is refused.
#include <QString>

namespace qxm::toplevel {

// The runtime folder, made private (created with its parents when missing). Empty, with a
// reason in *error, when it cannot be used.
QString runtimeFolder(QString* error = nullptr);

// Makes path a private folder: creates it (and missing parents) when needed, refuses a link, a
// file or a folder of another user, narrows a looser mode to 0700.
bool ensurePrivateFolder(const QString& path, QString* error = nullptr);

// A private folder named `name` inside the runtime folder; empty with *error on failure.
QString runtimeSubfolder(const QString& name, QString* error = nullptr);

// One file name for any text, distinct texts giving distinct names: UTF-8, percent-encoded except
// ASCII letters, digits, '-' and '_'. The empty text is "%". Names too long for the file system
// keep a prefix of the encoding followed by "%~" and the SHA-256 of the text in hex.
QString fileNameFor(const QString& text);

// An exclusive lock on a file (mode 0600, created when missing), taken as an open-file-description
// lock: it conflicts with every other holder, in this process as in any other, and ends when it
// is released or its process ends, however that happens. The descriptor is not inherited by
// started programs. The file itself stays in place.
class ExclusiveFileLock {
public:
    enum class Result { Locked, HeldElsewhere, Failed };

    ExclusiveFileLock() = default;
    ~ExclusiveFileLock() { release(); }
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    // Takes the lock on path without waiting. Locked also when this object holds it already
    // (for any path: release first to move it). Failed comes with a reason in *error.
    Result tryLock(const QString& path, QString* error = nullptr);
    void release();
    bool locked() const { return m_fd >= 0; }

    // Whether anyone (this process included) holds the lock on path; false when the file is
    // missing or cannot be read. Only looks: it never takes the lock.
    static bool isHeld(const QString& path);

private:
    int m_fd = -1;
};

} // namespace qxm::toplevel
