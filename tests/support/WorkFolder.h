#pragma once

#include <filesystem>
#include <string>

// A fresh temporary working folder made current for the life of the object;
// the previous current folder is restored and the folder removed afterwards.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;  // whole file, binary
    bool exists(const std::string& name) const;
    void remove(const std::string& name) const;

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// The whole content of the file at `path`, read as bytes; "" when it cannot
// be read.
std::string fileContent(const std::filesystem::path& path);

// The folder of the stopping-power coefficient files: $TARVEX_STOPPING_DATA or
// the installation data beside the repository.
std::string stoppingDataFolder();
