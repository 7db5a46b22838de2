// Offering the gallery in the profile folder: which files are copied, and that
// a user's file of the same name is never replaced.
#include "app/gallery_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

class GalleryFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("ammonite_gallery_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        gallery_ = root_ / "gallery";
        profiles_ = root_ / "ammonite";
        fs::create_directories(gallery_);
        fs::create_directories(profiles_);
        WriteAll(gallery_ / "baculites.txt", "\"Baculites\"\r\n");
        WriteAll(gallery_ / "hamites.txt", "\"Hamites\"\r\n");
        WriteAll(gallery_ / "hamites.toml", "format = 1  # a scenario, not a profile file\n");
        setenv("AMMONITE_GALLERY", gallery_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("AMMONITE_GALLERY");
        fs::remove_all(root_);
    }
    fs::path root_, gallery_, profiles_;
};

TEST_F(GalleryFilesTest, CopiesOnlyMissingProfileFilesAndNeverOverwrites) {
    WriteAll(profiles_ / "hamites.txt", "my own edit");
    std::string error;

    EXPECT_EQ(ammonite::CopyGalleryInto(profiles_.string(), error), 1) << error;
    EXPECT_EQ(ReadAll(profiles_ / "baculites.txt"), "\"Baculites\"\r\n");
    EXPECT_EQ(ReadAll(profiles_ / "hamites.txt"), "my own edit");
    EXPECT_FALSE(fs::exists(profiles_ / "forms.conf"));

    // A second offer finds everything in place.
    EXPECT_EQ(ammonite::CopyGalleryInto(profiles_.string(), error), 0) << error;
}

TEST_F(GalleryFilesTest, MissingFoldersAreReportedNotCreated) {
    std::string error;
    EXPECT_EQ(ammonite::CopyGalleryInto((root_ / "nowhere").string(), error), -1);
    EXPECT_NE(error.find("nowhere"), std::string::npos);
    EXPECT_FALSE(fs::exists(root_ / "nowhere"));

    setenv("AMMONITE_GALLERY", (root_ / "no_gallery").c_str(), 1);
    error.clear();
    EXPECT_EQ(ammonite::CopyGalleryInto(profiles_.string(), error), -1);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_empty(profiles_));
}

TEST_F(GalleryFilesTest, EnvironmentFirstThenTheSourceTree) {
    EXPECT_EQ(ammonite::GalleryFolder(), gallery_.string());

    unsetenv("AMMONITE_GALLERY");
#ifdef AMMONITE_SOURCE_GALLERY
    // No installed gallery lies beside the test program, so the source tree's is found.
    EXPECT_EQ(ammonite::GalleryFolder(), std::string(AMMONITE_SOURCE_GALLERY));
    EXPECT_TRUE(fs::exists(fs::path(ammonite::GalleryFolder()) / "baculites.txt"));
#else
    // Built for a package: only an installed gallery counts, and none lies beside the test program.
    EXPECT_EQ(ammonite::GalleryFolder(), "");
#endif
}

}  // namespace
