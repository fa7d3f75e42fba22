#include "util/TextFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

bool writeAll(int fd, const std::string& content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written == 0) errno = 0;
        if (written <= 0) return false;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// An open descriptor of the regular file at `path`, or -1. The open never
// blocks (a FIFO without a writer or reader would), and the type is checked on
// the descriptor itself, so the file cannot be swapped between check and use.
int openRegular(const std::string& path, int flags) {
    if (path.empty()) return -1;
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Regular files never block; clearing the flag keeps later writes plain.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int openForWriting(const std::string& path, bool append) {
    int fd = openRegular(path, O_WRONLY | O_CREAT | O_NOFOLLOW | (append ? O_APPEND : 0));
    if (fd >= 0 && !append && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Why `path` is refused by its kind ("it is a symbolic link", "it is not a
// regular file"); "" when it is a regular file or does not exist.
std::string kindRefusal(const std::string& path) {
    struct stat named {};
    if (path.empty() || ::lstat(path.c_str(), &named) != 0 || S_ISREG(named.st_mode)) return "";
    return S_ISLNK(named.st_mode) ? "it is a symbolic link" : "it is not a regular file";
}

// Why the file at `path` could not be opened, `error` being the open's errno.
std::string openFailure(const std::string& path, int error) {
    const std::string kind = kindRefusal(path);
    return kind.empty() ? std::strerror(error) : kind;
}

// The name by which the file behind `fd` opens again, whatever its path now
// names: a stream opened by it is the checked file itself.
std::string descriptorPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// Without /proc the path is opened again, but only while it still names the
// checked file itself (no link, same file), so the stream cannot block.
template <typename Stream>
bool openStreamOn(Stream& stream, int fd, const std::string& path, std::ios::openmode mode) {
    stream.open(descriptorPath(fd), mode);
    if (!stream) {
        stream.clear();
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
            stream.open(path, mode);
        }
    }
    ::close(fd);
    return static_cast<bool>(stream);
}

// `content` written and synced to disk in a new temporary file beside `path`
// (mode 0644), ready to take its place; the temporary's name, or "" when it
// could not be written, and then nothing is left behind.
std::string writeTemporaryBeside(const std::string& path, const std::string& content) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::string temporary = folder.empty() ? ".tarvex-XXXXXX" : (folder / ".tarvex-XXXXXX").string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return "";
    bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        const int error = errno;
        std::remove(temporary.c_str());
        errno = error;
        return "";
    }
    ::chmod(temporary.c_str(), 0644);
    return temporary;
}

}  // namespace

bool replaceFileContent(const std::string& path, const std::string& content, std::string* why) {
    const std::string temporary = writeTemporaryBeside(path, content);
    if (temporary.empty()) {
        if (why != nullptr) *why = std::strerror(errno);
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        if (why != nullptr) *why = std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

AppendResult appendText(const std::string& path, const std::string& text, std::string* why) {
    // Read and write, so that the last byte can be looked at; a file that
    // cannot be read is still appended to.
    int fd = openRegular(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_APPEND);
    if (fd < 0 && errno == EACCES) fd = openRegular(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_APPEND);
    if (fd < 0) {
        if (why != nullptr) *why = openFailure(path, errno);
        return AppendResult::OpenFailed;
    }
    struct stat info {};
    const off_t before = ::fstat(fd, &info) == 0 ? info.st_size : -1;
    // A line left without its end (an append cut by a crash or written by
    // another program) is ended first, so the text starts a line of its own.
    char last = '\n';
    const bool cut = before > 0 && ::pread(fd, &last, 1, before - 1) == 1 && last != '\n';
    bool written = writeAll(fd, cut ? "\n" + text : text);
    const int writeError = errno;
    if (!written && before >= 0) {
        // Whole or not at all: what reached the file is taken back.
        (void)::ftruncate(fd, before);
    }
    if (::close(fd) != 0 && written) {
        written = false;
        if (why != nullptr) *why = std::strerror(errno);
    } else if (!written && why != nullptr) {
        *why = writeError != 0 ? std::strerror(writeError) : "the text was cut short";
    }
    return written ? AppendResult::Written : AppendResult::WriteFailed;
}

bool appendToFile(const std::string& path, const std::string& text) {
    return appendText(path, text) == AppendResult::Written;
}

bool readRegularFileFrom(const std::string& path, unsigned long long offset, std::size_t maxBytes,
                         std::string& content, FileIdentity& identity, bool& missing, std::string& why) {
    content.clear();
    missing = false;
    int fd = openRegular(path, O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
        struct stat named {};
        missing = ::lstat(path.c_str(), &named) != 0 && errno == ENOENT;
        const std::string kind = kindRefusal(path);
        why = kind.empty() ? "it cannot be opened" : kind;
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok) {
        identity = {static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino),
                    static_cast<unsigned long long>(info.st_size)};
    }
    if (ok && offset < identity.size) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<unsigned long long>(identity.size - offset, maxBytes));
        content.resize(wanted);
        std::size_t got = 0;
        while (ok && got < wanted) {
            ssize_t n = ::pread(fd, content.data() + got, wanted - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        content.resize(got);
    }
    if (!ok) {
        why = "it cannot be read";
        content.clear();
    }
    ::close(fd);
    return ok;
}

bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content, std::string& why) {
    content.clear();
    int fd = openRegular(path, O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
        const std::string kind = kindRefusal(path);
        why = kind.empty() ? "it cannot be opened" : kind;
        return false;
    }
    struct stat info {};
    bool ok = false;
    if (::fstat(fd, &info) != 0) {
        why = "it cannot be read";
    } else if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        why = "it is larger than " + std::to_string(maxBytes >> 20) + " MiB";
    } else {
        // Reads on to the end, not to the size seen: a file growing meanwhile
        // beyond the limit is still refused.
        content.reserve(static_cast<std::size_t>(info.st_size));
        char chunk[65536];
        ok = true;
        std::size_t got = 0;
        while (got <= maxBytes) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                why = "it cannot be read";
                ok = false;
                break;
            }
            if (n == 0) break;
            content.append(chunk, static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
        }
        if (ok && got > maxBytes) {
            why = "it is larger than " + std::to_string(maxBytes >> 20) + " MiB";
            ok = false;
        }
    }
    ::close(fd);
    if (!ok) content.clear();
    return ok;
}

bool fileIsReadable(const std::string& path) {
    int fd = openRegular(path, O_RDONLY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool openInput(std::ifstream& in, const std::string& path) {
    int fd = openRegular(path, O_RDONLY);
    return fd >= 0 && openStreamOn(in, fd, path, std::ios::binary);
}

bool openOutput(std::ofstream& out, const std::string& path, bool append) {
    int fd = openForWriting(path, append);
    return fd >= 0 && openStreamOn(out, fd, path, std::ios::binary | (append ? std::ios::app : std::ios::out));
}

std::FILE* openOutputFile(const std::string& path, bool append) {
    int fd = openForWriting(path, append);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, append ? "ab" : "wb");
    if (file == nullptr) ::close(fd);
    return file;
}

bool renameNoReplace(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: a hard link refuses an
    // existing target just the same.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool createNewEmptyFile(const std::string& path) {
    if (path.empty()) return false;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::string inFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string fullPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path.empty() ? "." : path, ec);
    if (ec) return path;
    full = full.lexically_normal();
    std::string text = full.string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

SaveResult saveNewFile(const std::string& path, const std::string& content) {
    if (path.empty()) return SaveResult::Failed;
    const std::string temporary = writeTemporaryBeside(path, content);
    if (temporary.empty()) return SaveResult::Failed;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
        return SaveResult::Saved;
    }
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        if (::link(temporary.c_str(), path.c_str()) == 0) {
            ::unlink(temporary.c_str());
            return SaveResult::Saved;
        }
        error = errno;
    }
    ::unlink(temporary.c_str());
    if (error == EEXIST) return SaveResult::Exists;
    if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS && error != EINVAL) return SaveResult::Failed;
    // Neither a no-replace rename nor hard links: create the file exclusively
    // and write it in place.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST ? SaveResult::Exists : SaveResult::Failed;
    bool ok = writeAll(fd, content);
    ok = ::close(fd) == 0 && ok;
    return ok ? SaveResult::Saved : SaveResult::Failed;
}

std::string replaceControlCharacters(std::string text, char replacement) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = replacement;
    }
    return text;
}

std::size_t characterCount(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

namespace {

// The length of the valid UTF-8 sequence at `at`, 0 when there is none.
std::size_t utf8SequenceAt(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

std::string validUtf8(const std::string& text, const std::string& replacement, bool* valid) {
    std::string out;
    out.reserve(text.size());
    bool clean = true;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceAt(text, at);
        if (length == 0) {
            out += replacement;
            clean = false;
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    if (valid != nullptr) *valid = clean;
    return out;
}
