#pragma once

#include <string>

// An exclusive lock on a file, held while this object holds it and at most
// as long as the process lives: a second taker, in this process or another,
// is told that the file is held. The lock is advisory: it keeps out only
// those who ask for it.
class FileLock {
public:
    enum class Outcome {
        Taken,          // this object holds the file (created empty when it did not exist)
        HeldByAnother,  // another holder has it
        CannotOpen,     // the file cannot be opened (a folder, no permission, a link)
    };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens `path` for writing without emptying it and takes the lock.
    Outcome take(const std::string& path);
    // Empties the file held; false when there is none or it fails.
    bool empty();
    // Lets go of the file (it stays where it is).
    void release();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};
