#include "session/gallery_files.h"

#include <fstream>
#include <sstream>

#include "core/safe_file.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace ammonite {
namespace {

bool IsFolder(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

}  // namespace

std::string GalleryFolder() {
    if (const char* env = std::getenv("AMMONITE_GALLERY"); env && *env) return env;

    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path installed = exe.parent_path() / ".." / "share" / "ammonite" / "gallery";
        if (IsFolder(installed)) return installed.lexically_normal().string();
    }

#ifdef AMMONITE_SOURCE_GALLERY
    if (IsFolder(AMMONITE_SOURCE_GALLERY)) return AMMONITE_SOURCE_GALLERY;
#endif
    return {};
}

int CopyGalleryInto(const std::string& profileFolder, std::string& error) {
    const std::string gallery = GalleryFolder();
    if (gallery.empty() || !IsFolder(gallery)) {
        error = "no gallery folder found";
        return -1;
    }
    if (!IsFolder(profileFolder)) {
        error = "profile folder " + profileFolder + " does not exist";
        return -1;
    }

    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(gallery, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.extension() == ".txt" && it->is_regular_file(ec)) files.push_back(p);
    }
    if (ec) {
        error = "cannot list " + gallery + ": " + ec.message();
        return -1;
    }

    int copied = 0;
    for (const fs::path& from : files) {
        const fs::path to = fs::path(profileFolder) / from.filename();
        // Never replace a file the user already has.
        const fs::file_status there = fs::symlink_status(to, ec);
        if (there.type() != fs::file_type::not_found) continue;
        std::ifstream in(from, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        if (!in) {
            error = "cannot read " + from.string();
            return -1;
        }
        std::string why;
        if (!WriteFileSafely(to.string(), bytes.str(), why)) {
            error = why;
            return -1;
        }
        ++copied;
    }
    return copied;
}

}  // namespace ammonite
