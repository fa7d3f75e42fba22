#include "util/TextFiles.h"

#include <cerrno>
#include <cstdio>
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
        if (written < 0) return false;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool replaceFileContent(const std::string& path, const std::string& content) {
    std::filesystem::path target(path);
    std::string pattern = (target.parent_path() / ".tarvex-XXXXXX").string();
    if (target.parent_path().empty()) pattern = ".tarvex-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ::chmod(pattern.c_str(), 0644);
    if (!ok || std::rename(pattern.c_str(), path.c_str()) != 0) {
        std::remove(pattern.c_str());
        return false;
    }
    return true;
}

bool appendToFile(const std::string& path, const std::string& text) {
    if (path.empty()) return false;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return false;
    std::ofstream out(path, std::ios::app | std::ios::binary);
    if (!out) return false;
    out << text;
    return true;
}

bool fileIsReadable(const std::string& path) {
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    return static_cast<bool>(in);
}

bool openInput(std::ifstream& in, const std::string& path) {
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec)) return false;
    in.open(path, std::ios::binary);
    return static_cast<bool>(in);
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

std::string fullPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path.empty() ? "." : path, ec);
    if (ec) return path;
    full = full.lexically_normal();
    std::string text = full.string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}
