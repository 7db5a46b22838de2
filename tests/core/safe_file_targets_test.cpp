// The writer's targets other than a plain file replaced by rename: devices,
// FIFOs and pipes written through, `-` and the standard output's own file,
// files with several names, and names that cannot be a path.
#include "core/safe_file.h"
#include "writer_test_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace ammonite;
using namespace writer_test;

namespace {

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

// Contents larger than a pipe's buffer, so a writer that stops early shows.
std::string largeText() {
    std::string s;
    for (int i = 0; i < 30000; ++i) s += std::to_string(i) + '\n';
    return s;
}

}  // namespace

TEST(SafeFileTargets, DevicesFifosAndPipesAreWrittenThroughWithEachWriteChecked) {
    Folder dir;
    std::string error;
    EXPECT_TRUE(WriteFileSafely("/dev/null", largeText(), error)) << error;
    EXPECT_FALSE(WriteFileSafely("/dev/full", std::string("x"), error));
    EXPECT_EQ(error, "cannot write /dev/full: No space left on device");

    // A FIFO with its reader gets every byte; the FIFO stays a FIFO.
    const std::string text = largeText();
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    std::string got;
    std::thread reader([&] { got = readAll(dir / "fifo"); });
    EXPECT_TRUE(WriteFileSafely(dir / "fifo", text, error)) << error;
    reader.join();
    EXPECT_EQ(got, text);
    EXPECT_TRUE(S_ISFIFO(statOf(dir / "fifo").st_mode));

    // A pipe named by its descriptor, both ways of naming it.
    for (const std::string prefix : {"/proc/self/fd/", "/dev/fd/"}) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        std::string piped;
        std::thread drain([&] { piped = readFd(fds[0]); });
        EXPECT_TRUE(WriteFileSafely(prefix + std::to_string(fds[1]), text, error)) << prefix << ": " << error;
        ::close(fds[1]);  // the writer closed its own copy: the reader sees the end
        drain.join();
        ::close(fds[0]);
        EXPECT_EQ(piped, text) << prefix;
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"fifo"});

    // A descriptor that is not open, or open only for reading, is refused by reason.
    EXPECT_FALSE(WriteFileSafely("/dev/fd/999", std::string("x"), error));
    EXPECT_EQ(error, "cannot write /dev/fd/999: Bad file descriptor");
    const int readOnly = ::open("/dev/null", O_RDONLY);
    EXPECT_FALSE(WriteFileSafely("/proc/self/fd/" + std::to_string(readOnly), std::string("x"), error));
    EXPECT_NE(error.find("Bad file descriptor"), std::string::npos) << error;
    ::close(readOnly);

    // A pipe whose reader has gone: the write fails and says why.
    const std::string said = inChild([&] {
        std::signal(SIGPIPE, SIG_IGN);
        int fds[2];
        if (::pipe(fds) != 0) return std::string("no pipe");
        ::close(fds[0]);
        std::string why;
        return WriteFileSafely("/dev/fd/" + std::to_string(fds[1]), text, why) ? std::string("written") : why;
    });
    EXPECT_NE(said.find(": Broken pipe"), std::string::npos) << said;
}

TEST(SafeFileTargets, DashAndTheFileStandardOutputGoesToAreWrittenThroughIt) {
    Folder dir;
    const std::string out = dir / "out.txt";
    // The program prints before and after the file is written, as the batch
    // tool prints its summary after the tables.
    auto printAround = [&](const std::string& target, int openFlags) {
        return inChild([&, openFlags] {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | openFlags, 0644);
            ::dup2(fd, STDOUT_FILENO);
            ::close(fd);
            std::printf("before\n");  // still in the C buffer when the file is written
            std::string why;
            if (!WriteFileSafely(target, std::string("the table\n"), why)) return why;
            std::printf("after\n");
            std::fflush(stdout);
            return std::string("written");
        });
    };
    for (const std::string& target : {std::string("-"), std::string("/dev/stdout"), out}) {
        const ino_t inode = [&] {
            writePlain(out, "earlier\n", 0644);
            return statOf(out).st_ino;
        }();
        EXPECT_EQ(printAround(target, O_TRUNC), "written") << target;
        EXPECT_EQ(readAll(out), "before\nthe table\nafter\n") << target;
        EXPECT_EQ(statOf(out).st_ino, inode) << target;  // the same file, not a replacement

        writePlain(out, "earlier\n", 0644);
        EXPECT_EQ(printAround(target, O_APPEND), "written") << target;
        EXPECT_EQ(readAll(out), "earlier\nbefore\nthe table\nafter\n") << target;
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.txt"});

    // `-` into a pipe.
    const std::string piped = inChild([] {
        int fds[2];
        if (::pipe(fds) != 0) return std::string("no pipe");
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[1]);
        std::string why;
        const bool ok = WriteFileSafely("-", largeText().substr(0, 4000), why);
        ::close(STDOUT_FILENO);
        return ok ? readFd(fds[0]) : why;
    });
    EXPECT_EQ(piped, largeText().substr(0, 4000));
}

TEST(SafeFileTargets, AFileWithOtherNamesIsWrittenInPlaceOnceComplete) {
    Folder dir;
    const std::string a = dir / "a.csv", b = dir / "b.csv";
    writePlain(a, "the old contents, longer than the new ones", 0640);
    ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
    const ino_t inode = statOf(a).st_ino;
    std::string error;
    ASSERT_TRUE(WriteFileSafely(a, std::string("new"), error)) << error;
    EXPECT_EQ(readAll(a), "new");
    EXPECT_EQ(readAll(b), "new");  // every name sees the new contents
    EXPECT_EQ(statOf(a).st_ino, inode);
    EXPECT_EQ(statOf(a).st_nlink, 2u);
    EXPECT_EQ(statOf(a).st_mode & 07777, 0640u);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.csv", "b.csv"}));

    // A write that fails before it is complete leaves every name as it was.
    const std::string said = inChild([&] {
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string why;
        return WriteFileSafely(b, largeText(), why) ? std::string("written") : why;
    });
    EXPECT_EQ(said, "cannot write " + b + ": File too large");
    EXPECT_EQ(readAll(a), "new");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.csv", "b.csv"}));

    // Writers copying over one file at once leave one of them whole.
    std::vector<std::string> versions;
    for (int i = 0; i < 8; ++i) versions.push_back(std::string(static_cast<size_t>(20000 + 3000 * i), char('a' + i)));
    std::vector<std::thread> writers;
    for (const std::string& v : versions)
        writers.emplace_back([&a, &v] {
            std::string why;
            EXPECT_TRUE(WriteFileSafely(a, v, why)) << why;
        });
    for (auto& t : writers) t.join();
    const std::string final = readAll(b);
    EXPECT_NE(std::find(versions.begin(), versions.end(), final), versions.end()) << final.size() << " bytes";
    EXPECT_EQ(statOf(a).st_ino, inode);
}

TEST(SafeFileTargets, ANameWithANulCharacterIsRefused) {
    Folder dir;
    std::string error;
    const std::string name = dir / "a.txt" + std::string(1, '\0') + "junk";
    EXPECT_FALSE(WriteFileSafely(name, std::string("x"), error));
    EXPECT_NE(error.find("the file name contains a NUL character"), std::string::npos) << error;
    EXPECT_TRUE(dir.names().empty());  // not written as "a.txt"
}
