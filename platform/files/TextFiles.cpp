#include "platform/files/TextFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qxm {

int readWholeFile(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    text.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            return e;
        }
        if (n == 0) break;
        text.append(buf, std::size_t(n));
    }
    ::close(fd);
    return 0;
}

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

int replacementTarget(const std::string& path, std::string* target, std::string* what) {
    constexpr int kMaxLinks = 40; // as the kernel's own limit on a chain of links
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                const int e = errno;
                if (what) *what = "cannot look at " + current;
                return e;
            }
            *target = current; // a new file, or the missing end of a link
            return 0;
        }
        if (S_ISREG(st.st_mode)) {
            *target = current;
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            if (what)
                *what = "will not replace " + current + ": it is " + kindOf(st.st_mode) +
                        ", not a regular file; nothing was written";
            return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        }
        std::string named(std::size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), named.data(), named.size());
        if (n < 0) {
            const int e = errno;
            if (what) *what = "cannot read the link " + current;
            return e;
        }
        named.resize(std::size_t(n));
        current = !named.empty() && named[0] == '/' ? named : folderOf(current) + "/" + named;
    }
    if (what) *what = "will not replace " + path + ": its chain of links does not end";
    return ELOOP;
}

int replaceFileAtomically(const std::string& pathAsGiven, std::string_view text,
                          std::string* what) {
    auto say = [what](std::string s) {
        if (what) *what = std::move(s);
    };
    std::string path;
    if (const int e = replacementTarget(pathAsGiven, &path, what); e != 0) return e;
    mode_t mode = 0644;
    if (struct stat st; ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;

    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        say("cannot create a temporary file beside " + path);
        return e;
    }
    auto fail = [&](const std::string& step, int e, bool open) {
        if (open) ::close(fd);
        ::unlink(tmp.c_str());
        say(step);
        return e;
    };
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("cannot write " + tmp, n < 0 ? errno : EIO, true);
        done += std::size_t(n);
    }
    if (::fchmod(fd, mode) != 0) return fail("cannot flush " + tmp, errno, true);
    return commitTemporaryFile(fd, tmp, path, what);
}

int commitTemporaryFile(int fd, const std::string& tmp, const std::string& target,
                        std::string* what) {
    auto fail = [&](std::string step, int e) {
        ::unlink(tmp.c_str());
        if (what) *what = std::move(step);
        return e;
    };
    if (fd < 0) {
        fd = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail("cannot open " + tmp, errno);
    }
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return fail("cannot flush " + tmp, e);
    }
    if (::close(fd) != 0) return fail("cannot close " + tmp, errno);
    if (::rename(tmp.c_str(), target.c_str()) != 0) return fail("cannot replace " + target, errno);
    // Make the rename itself durable.
    if (const int dfd = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

} // namespace qxm
