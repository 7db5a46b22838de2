// The batch tool's outputs under faults: a full device, a file-size limit, a
// full standard output, read-only files and folders, and links. Every
// case gives a message naming the option, exit status 3, and leaves every
// file that was there before byte for byte and mode for mode as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/batch_process.h"

namespace {

using batch_test::contains;
using batch_test::readFile;

using batch_test::Result;
using batch_test::runBatch;

void writeFile(const QString& path, const std::string& bytes, mode_t mode) {
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
    ::chmod(path.toLocal8Bit().constData(), mode);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::lstat(path.toLocal8Bit().constData(), &st);
    return st.st_mode;
}

// The batch tool with its standard output sent to a file (or device).
Result runWithOutputTo(const QStringList& args, const QString& stdoutPath) {
    QProcess p;
    p.setStandardOutputFile(stdoutPath);
    p.start(QStringLiteral(AMMONITE_BATCH), args);
    Result r;
    if (!p.waitForFinished(120000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = p.readAllStandardError().toStdString();
    return r;
}

// The batch tool under a file-size limit of `blocks`, as the shell's `ulimit -f` sets it.
Result runWithFileSizeLimit(int blocks, const QStringList& args) {
    QProcess p;
    QStringList shArgs{QStringLiteral("-c"), QStringLiteral("ulimit -f %1 && exec \"$0\" \"$@\"").arg(blocks),
                       QStringLiteral(AMMONITE_BATCH)};
    shArgs << args;
    p.start(QStringLiteral("/bin/sh"), shArgs);
    return batch_test::finish(p);
}

// Short runs keep the tests quick; 300 stages still give a table of many kilobytes.
const QStringList kShort{QStringLiteral("--stages"), QStringLiteral("300")};


}  // namespace

TEST(BatchWrites, ADeviceOrAFullStandardOutputIsAnErrorWithStatus3) {
    Result device = runBatch(kShort + QStringList{"--tables", "/dev/full"});
    EXPECT_EQ(device.status, 3) << device.err;
    EXPECT_TRUE(contains(device.err, "cannot write /dev/full: No space left on device (--tables)")) << device.err;
    EXPECT_TRUE(contains(device.out, "shown_stage="));  // the other outputs are still written

    Result full = runWithOutputTo(kShort, QStringLiteral("/dev/full"));
    EXPECT_EQ(full.status, 3) << full.err;
    EXPECT_TRUE(contains(full.err, "cannot write to standard output: No space left on device")) << full.err;

    Result help = runWithOutputTo({"--help"}, QStringLiteral("/dev/full"));
    EXPECT_EQ(help.status, 3) << help.err;

    Result sweep = runWithOutputTo({"--sweep", "stages=10:20:2"}, QStringLiteral("/dev/full"));
    EXPECT_EQ(sweep.status, 3) << sweep.err;
    EXPECT_TRUE(contains(sweep.err, "No space left on device")) << sweep.err;
}

TEST(BatchWrites, AFileSizeLimitKeepsTheOldFilesAndExitsWith3) {
    QTemporaryDir dir;
    const QString tables = dir.filePath("t.csv"), profiles = dir.filePath("p.txt"), sweep = dir.filePath("s.csv");
    writeFile(tables, "old table", 0640);
    writeFile(profiles, "old profiles", 0600);
    // Two blocks: the summary and the profile file fit, the table does not.
    Result r = runWithFileSizeLimit(2, kShort + QStringList{"--tables", tables, "--save-profiles", profiles,
                                                             "--summary", dir.filePath("sum.txt")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_TRUE(contains(r.err, "cannot write " + tables.toStdString() + ": File too large (--tables)")) << r.err;
    EXPECT_EQ(readFile(tables), "old table");
    EXPECT_EQ(modeOf(tables) & 07777, 0640u);
    EXPECT_NE(readFile(profiles), "old profiles");  // small enough to be written
    EXPECT_TRUE(contains(readFile(dir.filePath("sum.txt")), "shown_stage="));
    // No temporary is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    writeFile(sweep, "old sweep", 0644);
    Result s = runWithFileSizeLimit(1, {"--sweep", "stages=10:400:60", "--sweep-out", sweep});
    EXPECT_EQ(s.status, 3) << s.err;
    EXPECT_TRUE(contains(s.err, "File too large (--sweep-out)")) << s.err;
    EXPECT_EQ(readFile(sweep), "old sweep");
}

TEST(BatchWrites, ProtectedTargetsAreRefusedAndKeptForEveryOutput) {
    QTemporaryDir dir;
    // Each output option with a target that must not be replaced.
    const std::vector<std::pair<QString, QString>> outputs = {
        {"--tables", "t.csv"}, {"--log", "l.txt"},  {"--summary", "s.txt"},     {"--png", "p.png"},
        {"--svg", "v.svg"},    {"--stl", "m.stl"},  {"--save-profiles", "d.txt"}};
    for (const auto& [option, name] : outputs) {
        const QString path = dir.filePath(name);
        // The mesh export's first file is the phragmocone.
        const QString target = option == "--stl" ? dir.filePath("m_phragmocone.stl") : path;
        writeFile(target, "read-only " + name.toStdString(), 0444);
        Result r = runBatch(kShort + QStringList{option, path});
        EXPECT_EQ(r.status, 3) << option.toStdString() << ": " << r.err;
        EXPECT_TRUE(contains(r.err, "cannot write " + target.toStdString() + ": Permission denied (" +
                                        option.toStdString() + ")"))
            << r.err;
        EXPECT_EQ(readFile(target), "read-only " + name.toStdString()) << option.toStdString();
        EXPECT_EQ(modeOf(target) & 07777, 0444u) << option.toStdString();
    }

    // A read-only sweep table is refused before the grid runs.
    const QString sweep = dir.filePath("sweep.csv");
    writeFile(sweep, "kept", 0444);
    Result s = runBatch({"--sweep", "stages=10:20:2", "--sweep-out", sweep});
    EXPECT_EQ(s.status, 3);
    EXPECT_FALSE(contains(s.err, "points in")) << s.err;
    EXPECT_EQ(readFile(sweep), "kept");
}

TEST(BatchWrites, LinksAreWrittenThroughAndPartFilesLeftAlone) {
    QTemporaryDir dir;
    const QString real = dir.filePath("real.svg"), link = dir.filePath("link.svg");
    writeFile(real, "old", 0640);
    ASSERT_EQ(::symlink("real.svg", link.toLocal8Bit().constData()), 0);
    writeFile(dir.filePath("m_volumes.txt.part"), "someone else's", 0600);
    Result r = runBatch(kShort + QStringList{"--svg", link, "--stl", dir.filePath("m.stl")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISLNK(modeOf(link)));
    EXPECT_TRUE(contains(readFile(real), "<svg"));
    EXPECT_EQ(modeOf(real) & 07777, 0640u);
    EXPECT_EQ(readFile(dir.filePath("m_volumes.txt.part")), "someone else's");
}

TEST(BatchWrites, AWriteFailureOutranksARuntimeErrorWhichIsStillPrinted) {
    QTemporaryDir dir;
    const QString csv = dir.filePath("t.csv");
    // A shell of no mass stops the run (status 1 alone) ...
    Result alone = runBatch({"--densities", "0,0", "--tables", csv});
    EXPECT_EQ(alone.status, 1);
    // ... and with an output that cannot be written the status is 3. (The
    // log of a run stopped at once is empty, and nothing written to a full
    // device is no failure: the summary, never empty, is the one that fails.)
    Result both = runBatch({"--densities", "0,0", "--tables", csv, "--summary", "/dev/full"});
    EXPECT_EQ(both.status, 3);
    EXPECT_TRUE(contains(both.err, "Division by zero")) << both.err;
    EXPECT_TRUE(contains(both.err, "No space left on device (--summary)")) << both.err;
    EXPECT_TRUE(contains(readFile(csv), "stage,"));  // the other outputs are written

    // A mesh needs a finished run: said plainly, and part of the runtime error.
    Result mesh = runBatch({"--densities", "0,0", "--stl", dir.filePath("m.stl")});
    EXPECT_EQ(mesh.status, 1);
    EXPECT_TRUE(contains(mesh.err, "Cannot export: the last run stopped on an error at stage 1, before the shell "
                                   "was complete (--stl)"))
        << mesh.err;
    EXPECT_FALSE(contains(mesh.err, "press START first")) << mesh.err;
}
