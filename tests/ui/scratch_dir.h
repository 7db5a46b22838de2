// Runs a window test inside a fresh scratch folder: the profile window makes
// and lists the "ammonite" folder of the current directory. The folder starts
// empty (no gallery is offered) and is removed at the end.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class InScratchDir {
public:
    InScratchDir() : old_(std::filesystem::current_path()) {
        dir_ = std::filesystem::temp_directory_path() /
               ("ammonite-ui-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        setenv("AMMONITE_GALLERY", "/nonexistent/ammonite-gallery", 1);
    }
    ~InScratchDir() {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    InScratchDir(const InScratchDir&) = delete;
    InScratchDir& operator=(const InScratchDir&) = delete;
    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path old_, dir_;
    static inline int counter_ = 0;
};
