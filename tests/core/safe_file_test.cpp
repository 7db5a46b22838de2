// The one file writer under faults: what it refuses, what it keeps, and how a
// failing file system shows.
#include "core/safe_file.h"
#include "writer_test_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace ammonite;
using namespace writer_test;

namespace {

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

}  // namespace

TEST(SafeFile, NewAndReplacedFilesGetTheShellsModes) {
    Folder dir;
    std::string error;
    const mode_t old = ::umask(027);
    ASSERT_TRUE(WriteFileSafely(dir / "new.txt", std::string("fresh"), error)) << error;
    ::umask(old);
    EXPECT_EQ(readAll(dir / "new.txt"), "fresh");
    EXPECT_EQ(modeOf(dir / "new.txt") & 07777, 0640u);

    writePlain(dir / "kept.txt", "old", 0604);
    ASSERT_TRUE(WriteFileSafely(dir / "kept.txt", std::string("new"), error)) << error;
    EXPECT_EQ(readAll(dir / "kept.txt"), "new");
    EXPECT_EQ(modeOf(dir / "kept.txt") & 07777, 0604u);
    // No temporary is left beside them.
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"kept.txt", "new.txt"}));
}

TEST(SafeFile, ALinkIsWrittenThroughAndAnUnrelatedPartFileIsLeftAlone) {
    Folder dir;
    std::string error;
    writePlain(dir / "real.txt", "old", 0640);
    ASSERT_EQ(::symlink("real.txt", (dir / "link.txt").c_str()), 0);
    writePlain(dir / "link.txt.part", "someone else's", 0600);
    writePlain(dir / "real.txt.part", "mine, not the writer's", 0600);
    ASSERT_TRUE(WriteFileSafely(dir / "link.txt", std::string("through"), error)) << error;
    EXPECT_TRUE(S_ISLNK(modeOf(dir / "link.txt")));
    EXPECT_EQ(readAll(dir / "real.txt"), "through");
    EXPECT_EQ(modeOf(dir / "real.txt") & 07777, 0640u);
    EXPECT_EQ(readAll(dir / "link.txt.part"), "someone else's");
    EXPECT_EQ(readAll(dir / "real.txt.part"), "mine, not the writer's");

    // A link to a file not there yet creates that file, in the link's folder.
    ASSERT_EQ(::symlink("later.txt", (dir / "dangling").c_str()), 0);
    ASSERT_TRUE(WriteFileSafely(dir / "dangling", std::string("made"), error)) << error;
    EXPECT_EQ(readAll(dir / "later.txt"), "made");
    EXPECT_TRUE(S_ISLNK(modeOf(dir / "dangling")));
}

TEST(SafeFile, FoldersAndFilesThatMayNotBeWrittenAreRefusedAndKept) {
    Folder dir;
    std::string error;
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
    EXPECT_FALSE(WriteFileSafely(dir / "folder", std::string("x"), error));
    EXPECT_EQ(error, "cannot write " + dir / "folder" + ": it is a folder");
    EXPECT_TRUE(S_ISDIR(modeOf(dir / "folder")));

    // Where only a file on disk will do, anything else is refused without
    // being opened (opening a FIFO would wait for a reader).
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    for (const std::string& special : {dir / "fifo", std::string("/dev/null"), std::string("-")}) {
        SafeFileWriter file(special, SafeFileWriter::Special::Refuse);
        EXPECT_FALSE(file.open()) << special;
        EXPECT_EQ(file.error(), "cannot write " + special + ": it is not a regular file");
    }
    EXPECT_TRUE(S_ISFIFO(modeOf(dir / "fifo")));

    // A read-only file: refused as the shell's '>' refuses it, bytes and mode kept.
    // The superuser is held to the owner's write bit.
    writePlain(dir / "ro.txt", "protected", 0444);
    EXPECT_FALSE(WriteFileSafely(dir / "ro.txt", std::string("x"), error));
    EXPECT_EQ(error, "cannot write " + dir / "ro.txt" + ": Permission denied");
    EXPECT_EQ(readAll(dir / "ro.txt"), "protected");
    EXPECT_EQ(modeOf(dir / "ro.txt") & 07777, 0444u);

    // A link to the read-only file is refused too.
    ASSERT_EQ(::symlink("ro.txt", (dir / "to_ro").c_str()), 0);
    EXPECT_FALSE(WriteFileSafely(dir / "to_ro", std::string("x"), error));
    EXPECT_EQ(readAll(dir / "ro.txt"), "protected");

    // A read-only folder takes no new file.
    ASSERT_EQ(::mkdir((dir / "locked").c_str(), 0555), 0);
    EXPECT_FALSE(WriteFileSafely(dir / "locked/new.txt", std::string("x"), error));
    EXPECT_EQ(error, "cannot write " + dir / "locked/new.txt" + ": Permission denied");
    ::chmod((dir / "locked").c_str(), 0755);
    EXPECT_EQ(::access((dir / "locked/new.txt").c_str(), F_OK), -1);

    EXPECT_FALSE(WriteFileSafely(dir / "missing/x.txt", std::string("x"), error));
    EXPECT_EQ(error, "cannot write " + dir / "missing/x.txt" + ": No such file or directory");

    // No refusal leaves a temporary behind.
    for (const std::string& n : dir.names()) EXPECT_NE(n[0], '.') << n;
}

TEST(SafeFile, AFileSizeLimitFailsTheWriteAndKeepsTheOldFile) {
    Folder dir;
    writePlain(dir / "big.bin", "the old contents", 0644);
    const std::string said = inChild([&] {
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        // Streamed in pieces, as the meshes are.
        SafeFileWriter file(dir / "big.bin");
        if (!file.open()) return "open: " + file.error();
        const std::string piece(1000, 'x');
        for (int i = 0; i < 100; ++i) file.stream() << piece;
        return file.commit() ? std::string("committed") : file.error();
    });
    EXPECT_EQ(said, "cannot write " + dir / "big.bin" + ": File too large");
    EXPECT_EQ(readAll(dir / "big.bin"), "the old contents");
    EXPECT_EQ(modeOf(dir / "big.bin") & 07777, 0644u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"big.bin"});
}

TEST(SafeFile, AStreamThatFailsOrIsDiscardedChangesNothing) {
    Folder dir;
    writePlain(dir / "t.csv", "old", 0644);
    std::string error;
    EXPECT_FALSE(WriteFileSafely(dir / "t.csv", [](std::ostream& out) {
        out << "half";
        out.setstate(std::ios::failbit);
    }, error));
    EXPECT_EQ(readAll(dir / "t.csv"), "old");
    {
        SafeFileWriter file(dir / "t.csv");
        ASSERT_TRUE(file.open());
        file.write("abandoned");
    }  // destroyed without commit
    EXPECT_EQ(readAll(dir / "t.csv"), "old");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"t.csv"});

    // A large streamed file arrives whole.
    ASSERT_TRUE(WriteFileSafely(dir / "t.csv", [](std::ostream& out) {
        for (int i = 0; i < 100000; ++i) out << i << '\n';
    }, error)) << error;
    const std::string all = readAll(dir / "t.csv");
    EXPECT_EQ(all.substr(all.size() - 6), "99999\n");
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 100000);
}

TEST(SafeFile, AFullStandardOutputIsReported) {
    const std::string said = inChild([] {
        const int full = ::open("/dev/full", O_WRONLY);
        ::dup2(full, STDOUT_FILENO);
        std::string error;
        return WriteStandardOutput("summary\n", error) ? std::string("written") : error;
    });
    EXPECT_EQ(said, "cannot write to standard output: No space left on device");
    const std::string flushed = inChild([] {
        const int full = ::open("/dev/full", O_WRONLY);
        ::dup2(full, STDOUT_FILENO);
        std::printf("pending text\n");
        std::string error;
        return FlushStandardOutput(error) ? std::string("flushed") : error;
    });
    EXPECT_EQ(flushed, "cannot write to standard output: No space left on device");
}
