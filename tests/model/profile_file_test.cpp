#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>

#include "model/profile_file.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<ModelState> startModel() {
    auto m = std::make_unique<ModelState>();
    m->setDefaultProfiles();
    m->alpha = 1.005;
    m->stageRange = {0, 3000};
    m->lastStage = 3000;
    m->shownStage = 1700;
    return m;
}

// The fields a profile file carries or a load sets.
void expectSameLoadedFields(const ModelState& a, const ModelState& b) {
    EXPECT_EQ(a.alpha, b.alpha);
    EXPECT_EQ(a.stageRange, b.stageRange);
    EXPECT_TRUE(a.gammaProfile == b.gammaProfile);
    EXPECT_TRUE(a.curvatureProfile == b.curvatureProfile);
    EXPECT_TRUE(a.torsionProfile == b.torsionProfile);
    EXPECT_TRUE(a.betaProfile == b.betaProfile);
    EXPECT_EQ(a.lastStage, b.lastStage);
    EXPECT_EQ(a.shownStage, b.shownStage);
    EXPECT_EQ(a.profileFileName, b.profileFileName);
}

// A scratch folder, removed at the end.
class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() / ("ammonite-file-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name, const std::string& bytes) const {
        std::string p = (path_ / name).string();
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    static inline int counter_ = 0;
};

const std::string kDefaultFile =
    "\"SAMPLE\"\r\n"
    "\"*** \x83\xBF ***\",1.005\r\n"
    "0,3000\r\n"
    "\"*** \x83\xC1 ***\",1\r\n"
    "0,4\r\n"
    "3000,4\r\n"
    "\"*** \x82\x62 ***\",7\r\n"
    "0,1\r\n"
    "90,1\r\n"
    "91,0\r\n"
    "176,0\r\n"
    "177,.93\r\n"
    "190,.93\r\n"
    "191,0\r\n"
    "3000,0\r\n"
    "\"*** \x82\x73 ***\",1\r\n"
    "0,0\r\n"
    "3000,0\r\n"
    "\"*** \x83\xC0 ***\",1\r\n"
    "0,12\r\n"
    "3000,12\r\n";

}  // namespace

TEST(ProfileFileWriting, DefaultModelGivesTheTwentyOneLinesByteForByte) {
    auto m = startModel();
    std::string bytes = FormatProfileFile(*m);
    EXPECT_EQ(bytes, kDefaultFile);
    int lines = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == '\r' && bytes[i + 1] == '\n') ++lines;
    EXPECT_EQ(lines, 21);
}

TEST(ProfileFileWriting, NumbersDropTheLeadingZeroAndKeepTheirSign) {
    auto m = startModel();
    m->alpha = 1.0021;
    m->torsionProfile.count = 2;
    m->torsionProfile.setPoint(1, 1500.5, -0.5);
    m->torsionProfile.setPoint(2, 3000, 0.025);
    std::string bytes = FormatProfileFile(*m);
    EXPECT_NE(bytes.find("\",1.0021\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n1500.5,-.5\r\n3000,.025\r\n"), std::string::npos);
}

TEST(ProfileFileWriting, CountZeroProfileIsAHeaderAndOnePoint) {
    auto m = startModel();
    m->torsionProfile.count = 0;
    m->torsionProfile.setPoint(0, 0, 0.25);
    std::string bytes = FormatProfileFile(*m);
    EXPECT_NE(bytes.find("\"*** \x82\x73 ***\",0\r\n0,.25\r\n\"*** \x83\xC0 ***\",1\r\n"), std::string::npos);

    ProfileFileContents back = ProfileFileContents::from(*startModel());
    std::string error;
    ASSERT_TRUE(ParseProfileFile(bytes, back, error)) << error;
    EXPECT_EQ(back.profiles[2].count, 0);
    EXPECT_EQ(back.profiles[2].values[0], 0.25);
    // The point above the new count keeps what the model had there.
    EXPECT_EQ(back.profiles[2].stages[1], 3000);
}

TEST(ProfileFileRoundTrip, SaveThenLoadGivesBackTheSameModel) {
    TempDir dir;
    auto m = startModel();
    m->alpha = 1.0037;
    m->stageRange = {0, 2500};
    m->gammaProfile.count = 3;
    m->gammaProfile.setPoint(1, 400, 3.5);
    m->gammaProfile.setPoint(2, 400, 1.025);
    m->gammaProfile.setPoint(3, 2500, 11.75);
    m->curvatureProfile.setPoint(4, 177, 0.93);
    m->betaProfile.setPoint(1, 2500, 1.0 / 3.0 * 3);  // 1, in whatever form
    std::string path = (dir.path() / "round.txt").string(), error;
    ASSERT_TRUE(WriteProfileFile(path, *m, error)) << error;

    auto loaded = startModel();
    ASSERT_TRUE(ReadProfileFile(path, *loaded, error)) << error;
    m->profileFileName = path;
    m->lastStage = 2500;
    m->shownStage = 2500;
    expectSameLoadedFields(*m, *loaded);
    EXPECT_EQ(loaded->curvatureProfile.values[4], 0.93);
}

TEST(ProfileFileReading, FinalStage2500SetsLastAndShownStage) {
    TempDir dir;
    std::string text = kDefaultFile;
    text.replace(text.find("0,3000\r\n"), 8, "0,2500\r\n");
    auto m = startModel();
    std::string error;
    ASSERT_TRUE(ReadProfileFile(dir.file("a.txt", text), *m, error)) << error;
    EXPECT_EQ(m->stageRange[1], 2500);
    EXPECT_EQ(m->lastStage, 2500);
    EXPECT_EQ(m->shownStage, 2500);
    EXPECT_EQ(m->profileFileName, (dir.path() / "a.txt").string());
}

TEST(ProfileFileReading, HeadersInOtherLanguagesAndCodePagesLoadTheSame) {
    ProfileFileContents expected = ProfileFileContents::from(*startModel());
    std::string error;
    // UTF-8 headers with a byte-order mark, Latin headers without quotes,
    // LF line ends, blanks around fields and an empty line.
    std::string utf8 =
        "\xEF\xBB\xBF\"Muster\"\n\"*** \xCE\xB1 ***\", 1.005\n 0 , 3000\n\"*** \xCE\xB3 ***\",1\n0,4\n3000,4\n"
        "*** curvature ***,7\n0,1\n90,1\n91,0\n176,0\n177,0.93\n190,.93\n191,0\n3000,0\n\n"
        "\"T\",1\n0,0\n3000,0\n\"beta, with a comma\",1\n0,12\n3000,12\n";
    ProfileFileContents got = ProfileFileContents::from(*startModel());
    got.alpha = 0;
    ASSERT_TRUE(ParseProfileFile(utf8, got, error)) << error;
    EXPECT_EQ(got.alpha, expected.alpha);
    EXPECT_EQ(got.stageRange, expected.stageRange);
    for (int p = 0; p < 4; ++p) EXPECT_TRUE(got.profiles[p] == expected.profiles[p]) << p;
}

// Every damaged file is refused with a message naming the file and the line,
// and the model stays exactly as it was.
TEST(ProfileFileReading, DamagedFilesAreRefusedAndChangeNothing) {
    struct Case {
        const char* what;
        std::string text;
        const char* expectInMessage;
    };
    auto replaced = [](const std::string& from, const std::string& to) {
        std::string t = kDefaultFile;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::vector<Case> cases = {
        {"ends early", kDefaultFile.substr(0, kDefaultFile.find("3000,12")), "line 21"},
        {"ends in a point", kDefaultFile.substr(0, kDefaultFile.size() - 5), "line 21"},
        {"empty", "", "line 1"},
        {"count above 50", replaced("\x82\x62 ***\",7", "\x82\x62 ***\",51"), "line 7"},
        {"negative count", replaced("\x82\x62 ***\",7", "\x82\x62 ***\",-1"), "line 7"},
        {"fractional count", replaced("\x82\x62 ***\",7", "\x82\x62 ***\",1.5"), "line 7"},
        {"stage above 4000", replaced("191,0", "4001,0"), "line 14"},
        {"quoted stage with a line break", replaced("191,0", "\"\t4001\n\",0"), "line 14"},
        {"negative stage", replaced("90,1", "-2,1"), "line 9"},
        {"final stage out of range", replaced("0,3000\r\n\"", "0,4002\r\n\""), "line 3"},
        {"value not a number", replaced("177,.93", "177,abc"), "line 12"},
        {"alpha not a number", replaced(",1.005", ",1.0o5"), "line 2"},
        {"comma in alpha shifts every field", replaced(",1.005", ",1,005"), "line 4"},
        {"empty value", replaced("0,12\r\n", "0,\r\n"), "line 20"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        auto m = startModel();
        m->profileFileName = "earlier.txt";
        m->gammaProfile.setPoint(7, 123, 4.5);  // an old point above the count
        auto before = std::make_unique<ModelState>(*m);
        std::string error;
        EXPECT_FALSE(ReadProfileFile(dir.file("bad.txt", c.text), *m, error)) << c.what;
        expectSameLoadedFields(*before, *m);
        EXPECT_EQ(m->gammaProfile.stages[7], 123) << c.what;
        EXPECT_NE(error.find("bad.txt"), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find(c.expectInMessage), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << c.what;
    }
}

TEST(ProfileFileReading, MissingFileOrFolderIsRefused) {
    TempDir dir;
    auto m = startModel();
    auto before = std::make_unique<ModelState>(*m);
    std::string error;
    EXPECT_FALSE(ReadProfileFile((dir.path() / "none.txt").string(), *m, error));
    EXPECT_NE(error.find("none.txt"), std::string::npos) << error;
    EXPECT_FALSE(ReadProfileFile(dir.path().string(), *m, error));  // a folder, not a file
    expectSameLoadedFields(*before, *m);
}

TEST(ProfileFileWriting, UnwritablePathIsReported) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteProfileFile((dir.path() / "no-such-folder" / "SAMPLE.txt").string(), *startModel(), error));
    EXPECT_NE(error.find("SAMPLE.txt"), std::string::npos) << error;
}

// ---- bounded inputs: only regular files of at most 1 MiB are read ----

TEST(ProfileFileBoundedInputs, FoldersPipesDevicesAndLargeFilesAreRefusedByName) {
    TempDir dir;
    auto m = startModel();
    auto before = std::make_unique<ModelState>(*m);
    std::string error;

    fs::create_directory(dir.path() / "folder.txt");
    EXPECT_FALSE(ReadProfileFile((dir.path() / "folder.txt").string(), *m, error));
    EXPECT_NE(error.find("folder.txt is a folder"), std::string::npos) << error;

    EXPECT_FALSE(ReadProfileFile("/dev/zero", *m, error));  // endless: must not be read at all
    EXPECT_NE(error.find("zero is not a regular file"), std::string::npos) << error;

    // The default file padded with blank lines to one byte over the limit.
    std::string big = kDefaultFile + std::string(kMaxProfileFileBytes + 1 - kDefaultFile.size(), '\n');
    EXPECT_FALSE(ReadProfileFile(dir.file("big.txt", big), *m, error));
    EXPECT_NE(error.find("big.txt is larger than 1 MiB"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    expectSameLoadedFields(*before, *m);

    // At the limit the size is no reason to refuse it.
    big.pop_back();
    std::string bytes;
    EXPECT_TRUE(ReadProfileFileBytes(dir.file("limit.txt", big), bytes, error)) << error;
    EXPECT_EQ(bytes.size(), kMaxProfileFileBytes);
}

TEST(ProfileFileBoundedInputs, APipeWithNoWriterIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string fifo = (dir.path() / "pipe.txt").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto m = startModel();
    auto before = std::make_unique<ModelState>(*m);
    std::string error;
    auto reading = std::async(std::launch::async, [&] { return ReadProfileFile(fifo, *m, error); });
    if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Let the blocked reader go before failing.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        ADD_FAILURE() << "the reader waits for a writer of the pipe";
    }
    EXPECT_FALSE(reading.get());
    EXPECT_NE(error.find("pipe.txt is not a regular file"), std::string::npos) << error;
    expectSameLoadedFields(*before, *m);
}
