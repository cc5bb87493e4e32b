// A preloadable library that makes one chosen file operation fail, for tests of what the
// writers do when the disk lets them down. Configured by the environment of the process:
//
//   QXM_FAULT=OP:TEXT[:N]   the N-th call (default 1) of OP on a path containing TEXT fails;
//                           OP is open, write, fsync, rename or close
//   QXM_FAULT_LOG=FILE      a line "OP PATH" is appended there when the fault is injected
//
// open covers open, openat, creat, fopen and the mkstemp family; write covers write and
// pwrite; fsync covers fsync and fdatasync; rename matches either name. A failing write sets
// ENOSPC, every other failure EIO; a failing close still closes the descriptor, as the kernel
// does. Calls inside the C library (fwrite's own writes, for one) are not seen.
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// The C library declares these paths never null, but a caller may pass one all the same: the
// fault library hands it on rather than crash first.
#pragma GCC diagnostic ignored "-Wnonnull-compare"

namespace {

std::atomic<int> gMatches{0};

template <class F> F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

std::string pathOfFd(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, std::size_t(n)) : std::string();
}

// True when this call is the one to fail (and then errno is set).
bool shouldFail(const char* op, const std::string& path, const char* otherPath = nullptr) {
    const char* rule = std::getenv("QXM_FAULT");
    if (!rule || !*rule) return false;
    const char* colon = std::strchr(rule, ':');
    if (!colon || std::size_t(colon - rule) != std::strlen(op) ||
        std::strncmp(rule, op, std::size_t(colon - rule)) != 0)
        return false;
    std::string text = colon + 1;
    int nth = 1;
    if (const std::size_t c = text.rfind(':'); c != std::string::npos) {
        nth = std::atoi(text.c_str() + c + 1);
        text.resize(c);
    }
    const bool matches = path.find(text) != std::string::npos ||
                         (otherPath && std::string(otherPath).find(text) != std::string::npos);
    if (!matches || gMatches.fetch_add(1) + 1 != nth) return false;
    if (const char* log = std::getenv("QXM_FAULT_LOG"); log && *log) {
        using OpenFn = int (*)(const char*, int, ...);
        static const OpenFn realOpen = real<OpenFn>("open");
        const int fd = realOpen(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const std::string line = std::string(op) + " " + path + "\n";
            using WriteFn = ssize_t (*)(int, const void*, size_t);
            static const WriteFn realWrite = real<WriteFn>("write");
            (void)!realWrite(fd, line.data(), line.size());
            using CloseFn = int (*)(int);
            static const CloseFn realClose = real<CloseFn>("close");
            realClose(fd);
        }
    }
    errno = std::strcmp(op, "write") == 0 ? ENOSPC : EIO;
    return true;
}

mode_t modeArgument(int flags, va_list ap) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(ap, int)) : 0;
}

} // namespace

extern "C" {

#define QXM_OPEN_LIKE(NAME)                                                                        \
    int NAME(const char* path, int flags, ...) {                                                   \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        const mode_t mode = modeArgument(flags, ap);                                               \
        va_end(ap);                                                                                \
        if (shouldFail("open", path ? path : "")) return -1;                                       \
        static const auto next = real<int (*)(const char*, int, ...)>(#NAME);                      \
        return next(path, flags, mode);                                                            \
    }
QXM_OPEN_LIKE(open)
QXM_OPEN_LIKE(open64)

#define QXM_OPENAT_LIKE(NAME)                                                                      \
    int NAME(int dir, const char* path, int flags, ...) {                                          \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        const mode_t mode = modeArgument(flags, ap);                                               \
        va_end(ap);                                                                                \
        if (shouldFail("open", path ? path : "")) return -1;                                       \
        static const auto next = real<int (*)(int, const char*, int, ...)>(#NAME);                 \
        return next(dir, path, flags, mode);                                                       \
    }
QXM_OPENAT_LIKE(openat)
QXM_OPENAT_LIKE(openat64)

int creat(const char* path, mode_t mode) {
    if (shouldFail("open", path ? path : "")) return -1;
    static const auto next = real<int (*)(const char*, mode_t)>("creat");
    return next(path, mode);
}

FILE* fopen(const char* path, const char* how) {
    if (shouldFail("open", path ? path : "")) return nullptr;
    static const auto next = real<FILE* (*)(const char*, const char*)>("fopen");
    return next(path, how);
}
FILE* fopen64(const char* path, const char* how) {
    if (shouldFail("open", path ? path : "")) return nullptr;
    static const auto next = real<FILE* (*)(const char*, const char*)>("fopen64");
    return next(path, how);
}

int mkstemp(char* tmpl) {
    if (shouldFail("open", tmpl ? tmpl : "")) return -1;
    static const auto next = real<int (*)(char*)>("mkstemp");
    return next(tmpl);
}
int mkostemp(char* tmpl, int flags) {
    if (shouldFail("open", tmpl ? tmpl : "")) return -1;
    static const auto next = real<int (*)(char*, int)>("mkostemp");
    return next(tmpl, flags);
}

ssize_t write(int fd, const void* data, size_t size) {
    if (fd > 2 && shouldFail("write", pathOfFd(fd))) return -1;
    static const auto next = real<ssize_t (*)(int, const void*, size_t)>("write");
    return next(fd, data, size);
}
ssize_t pwrite(int fd, const void* data, size_t size, off_t at) {
    if (fd > 2 && shouldFail("write", pathOfFd(fd))) return -1;
    static const auto next = real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return next(fd, data, size, at);
}

int fsync(int fd) {
    if (shouldFail("fsync", pathOfFd(fd))) return -1;
    static const auto next = real<int (*)(int)>("fsync");
    return next(fd);
}
int fdatasync(int fd) {
    if (shouldFail("fsync", pathOfFd(fd))) return -1;
    static const auto next = real<int (*)(int)>("fdatasync");
    return next(fd);
}

int close(int fd) {
    static const auto next = real<int (*)(int)>("close");
    if (fd > 2 && shouldFail("close", pathOfFd(fd))) {
        const int e = errno;
        next(fd);
        errno = e;
        return -1;
    }
    return next(fd);
}

int rename(const char* from, const char* to) {
    if (shouldFail("rename", to ? to : "", from)) return -1;
    static const auto next = real<int (*)(const char*, const char*)>("rename");
    return next(from, to);
}

} // extern "C"
