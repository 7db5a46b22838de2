// ammonite-batch --profiles / --save-profiles.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "support/batch_process.h"
#include "session/log_sink.h"
#include "model/profile_file.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

class BatchProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("ammonite-batch-profiles-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // Runs the batch tool; returns its exit status and its standard error.
    int batch(const std::string& args, std::string& err) {
        std::string cmd = std::string("\"") + AMMONITE_BATCH + "\" " + args + " 2>stderr.txt >stdout.txt";
        int rc = std::system(cmd.c_str());
        err = readFile("stderr.txt");
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    static std::string readFile(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        return s.str();
    }
    static std::map<std::string, std::string> summary(const std::string& path) {
        std::map<std::string, std::string> kv;
        std::istringstream in(readFile(path));
        for (std::string line; std::getline(in, line);) {
            auto eq = line.find('=');
            if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return kv;
    }

    fs::path old_, dir_;
};

}  // namespace

TEST_F(BatchProfiles, BadFileStopsWithOneLineAndStatus2) {
    std::ofstream("bad.txt", std::ios::binary) << "\"SAMPLE\"\r\n\"x\",1.002\r\n0,3000\r\n\"g\",1\r\n0,4\r\n";
    std::string err;
    EXPECT_EQ(batch("--profiles bad.txt --summary s.txt", err), 2);
    EXPECT_NE(err.find("bad.txt"), std::string::npos) << err;
    EXPECT_NE(err.find("line"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(fs::exists("s.txt"));
    EXPECT_EQ(batch("--profiles missing.txt", err), 2);
    EXPECT_NE(err.find("missing.txt"), std::string::npos) << err;
}

TEST_F(BatchProfiles, LoadedFileSetsTheRunAndSaveWritesTheSameFormat) {
    // Final stage 150: no regulated stage, so the run leaves α as loaded.
    auto m = std::make_unique<ModelState>();
    m->setDefaultProfiles();
    m->alpha = 1.0031;
    m->stageRange = {0, 150};
    m->gammaProfile.setPoint(1, 150, 4);
    m->curvatureProfile.count = 5;
    m->curvatureProfile.setPoint(5, 150, 0);
    m->torsionProfile.setPoint(1, 150, 0.25);
    m->betaProfile.setPoint(1, 150, 12);
    std::string error, err;
    ASSERT_TRUE(WriteProfileFile("in.txt", *m, error)) << error;
    ASSERT_EQ(batch("--profiles in.txt --save-profiles out.txt --summary s.txt", err), 0) << err;
    auto kv = summary("s.txt");
    EXPECT_EQ(kv["last_stage"], "150");
    EXPECT_EQ(kv["alpha"], "1.0031");
    EXPECT_EQ(readFile("out.txt"), readFile("in.txt"));
    // The final stage became the stage count, as a load in the window does.
    ASSERT_EQ(batch("--profiles in.txt --stages 150 --summary s2.txt", err), 0) << err;
    EXPECT_EQ(summary("s2.txt"), kv);
    // --stages still chooses how many stages the run constructs.
    ASSERT_EQ(batch("--profiles in.txt --stages 100 --summary s3.txt", err), 0) << err;
    EXPECT_NE(summary("s3.txt")["shown_stage"], kv["shown_stage"]);
}

// Bounded inputs: --profiles reads only a regular file of at most 1 MiB; the
// rest is a bad input file (status 2) named with what was wrong, at once.
TEST_F(BatchProfiles, FoldersPipesDevicesAndHugeFilesAreBadInput) {
    fs::create_directory("folder.txt");
    ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
    std::ofstream("huge.txt", std::ios::binary) << std::string(kMaxProfileFileBytes + 1, '\n');
    const std::pair<const char*, const char*> cases[] = {{"folder.txt", "folder.txt is a folder"},
                                                         {"pipe.txt", "pipe.txt is not a regular file"},
                                                         {"/dev/zero", "zero is not a regular file"},
                                                         {"huge.txt", "huge.txt is larger than 1 MiB"}};
    for (const auto& [file, message] : cases) {
        const batch_test::Result r = batch_test::runBatch({"--profiles", file, "--summary", "s.txt"});
        EXPECT_EQ(r.status, 2) << file << ": " << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists("s.txt")) << file;
    }
}
