#include "platform/component/TextFiles.h"

#include <cerrno>
#include <fcntl.h>
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

int replaceFileAtomically(const std::string& path, std::string_view text, std::string* what) {
    auto say = [what](std::string s) {
        if (what) *what = std::move(s);
    };
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
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return fail("cannot flush " + tmp, errno, true);
    if (::close(fd) != 0) return fail("cannot close " + tmp, errno, false);
    if (::rename(tmp.c_str(), path.c_str()) != 0)
        return fail("cannot replace " + path, errno, false);
    // Make the rename itself durable.
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    if (const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

} // namespace qxm
