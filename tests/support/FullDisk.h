#pragma once

#include <sys/resource.h>

#include <csignal>

// A full disk, as the file-size limit of this process makes it: while the
// object lives, no file grows beyond `bytes`; a write that would fails (the
// signal the limit raises is ignored meanwhile).
class FullDisk {
public:
    explicit FullDisk(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = before_;
        full.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &full);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, handler_);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit before_{};
    void (*handler_)(int) = nullptr;
};
