// Test files in a directory of their own under the system's temporary
// directory, removed with everything in it when the holder goes.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class ProfileTestFiles {
public:
    ProfileTestFiles() {
        auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        directory_ = std::filesystem::temp_directory_path() /
                     ("tolvanex-profile-" + std::to_string(ticks) + "-" + std::to_string(++count_));
        std::filesystem::create_directories(directory_);
    }
    ~ProfileTestFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    ProfileTestFiles(const ProfileTestFiles&) = delete;
    ProfileTestFiles& operator=(const ProfileTestFiles&) = delete;

    // A full path, as the profile functions need it.
    std::string Path(const std::string& name) const { return (directory_ / name).string(); }

    std::string Create(const std::string& name, const std::string& content) const {
        std::ofstream(directory_ / name, std::ios::binary) << content;
        return Path(name);
    }

    std::string Contents(const std::string& name) const {
        std::ifstream file(directory_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    bool Exists(const std::string& name) const {
        return std::filesystem::exists(directory_ / name);
    }

private:
    static inline int count_ = 0;
    std::filesystem::path directory_;
};
