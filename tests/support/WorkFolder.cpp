#include "support/WorkFolder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

WorkFolder::WorkFolder() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
    std::filesystem::current_path(path_);
}

WorkFolder::~WorkFolder() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
}

void WorkFolder::write(const std::string& name, const std::string& content) const {
    std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string WorkFolder::read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string fileContent(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WorkFolder::exists(const std::string& name) const {
    return std::filesystem::exists(path_ / name);
}

void WorkFolder::remove(const std::string& name) const {
    std::filesystem::remove(path_ / name);
}

std::string stoppingDataFolder() {
    if (const char* env = std::getenv("TARVEX_STOPPING_DATA"); env != nullptr && *env != '\0') return env;
    return TARVEX_STOPPING_DATA_DEFAULT;
}
