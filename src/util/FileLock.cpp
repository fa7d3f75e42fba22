#include "util/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

FileLock::~FileLock() { release(); }

FileLock::Outcome FileLock::take(const std::string& path) {
    release();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return Outcome::CannotOpen;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Outcome::CannotOpen;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Outcome::HeldByAnother : Outcome::CannotOpen;
    }
    fd_ = fd;
    return Outcome::Taken;
}

bool FileLock::empty() { return fd_ >= 0 && ::ftruncate(fd_, 0) == 0; }

void FileLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}
