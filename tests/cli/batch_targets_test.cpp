// The batch tool's outputs sent where Unix tools send theirs: `-`, the
// standard output as a pipe or as a redirected file, devices and FIFOs; the
// mesh sets, which need a folder, and which concurrent runs leave whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/batch_process.h"

namespace {

using batch_test::contains;
using batch_test::readFile;

using batch_test::parseSummary;
using batch_test::Result;
using batch_test::runBatch;

void writeFile(const QString& path, const std::string& bytes) { std::ofstream(path.toStdString(), std::ios::binary) << bytes; }


// The batch tool with its standard output sent to a file, truncated or appended to.
Result runWithOutputTo(const QStringList& args, const QString& stdoutPath, bool append) {
    QProcess p;
    p.setStandardOutputFile(stdoutPath, append ? QIODevice::Append : QIODevice::Truncate);
    p.start(QStringLiteral(AMMONITE_BATCH), args);
    Result r;
    if (!p.waitForFinished(120000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = p.readAllStandardError().toStdString();
    return r;
}

const QStringList kRun{QStringLiteral("--stages"), QStringLiteral("300")};
const QStringList kSweep{QStringLiteral("--sweep"), QStringLiteral("stages=10:20:2"), QStringLiteral("--jobs"),
                         QStringLiteral("1")};

// Every output that is one file, with the run that writes it.
struct Output {
    QString option;
    bool sweep;
};
const std::vector<Output> kOutputs = {{"--tables", false}, {"--log", false},           {"--summary", false},
                                      {"--png", false},    {"--svg", false},           {"--save-profiles", false},
                                      {"--sweep-out", true}};

// What each output holds when written to a plain file, and the summary a run
// prints when it has no --summary.
struct Reference {
    QTemporaryDir dir;
    std::map<QString, std::string> bytes;
    std::string summary;

    Reference() {
        QStringList args = kRun;
        for (const Output& o : kOutputs)
            if (!o.sweep) args << o.option << dir.filePath(o.option.mid(2));
        Result run = runBatch(args);
        EXPECT_EQ(run.status, 0) << run.err;
        Result sweep = runBatch(kSweep + QStringList{"--sweep-out", dir.filePath("sweep-out")});
        EXPECT_EQ(sweep.status, 0) << sweep.err;
        for (const Output& o : kOutputs) bytes[o.option] = readFile(dir.filePath(o.option.mid(2)));
        summary = bytes["--summary"];
    }
    // What the standard output holds when `o` goes to it.
    std::string onStandardOutput(const Output& o) const {
        const std::string& own = bytes.at(o.option);
        return o.sweep || o.option == "--summary" ? own : own + summary;
    }
};

const Reference& reference() {
    static const std::unique_ptr<Reference> ref = std::make_unique<Reference>();
    return *ref;
}

// `cksum`'s "CRC SIZE" of a file, which the mesh sidecar must repeat.
std::pair<std::string, std::string> cksum(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("cksum"), {path});
    p.waitForFinished(30000);
    std::istringstream in(p.readAllStandardOutput().toStdString());
    std::string crc, size;
    in >> crc >> size;
    return {crc, size};
}

QStringList argsFor(const Output& o, const QString& target) { return (o.sweep ? kSweep : kRun) + QStringList{o.option, target}; }

}  // namespace

TEST(BatchTargets, DashAndStandardOutputIntoAPipeCarryEveryOutputWhole) {
    const Reference& ref = reference();
    for (const Output& o : kOutputs) {
        ASSERT_FALSE(ref.bytes.at(o.option).empty()) << o.option.toStdString();
        for (const QString target : {"-", "/dev/stdout"}) {
            Result r = runBatch(argsFor(o, target));
            const std::string what = o.option.toStdString() + " " + target.toStdString();
            EXPECT_EQ(r.status, 0) << what << ": " << r.err;
            EXPECT_TRUE(r.out == ref.onStandardOutput(o)) << what << ": " << r.out.size() << " bytes";
        }
    }
    EXPECT_FALSE(QFileInfo::exists("-"));  // no file named '-' in the working folder
}

TEST(BatchTargets, StandardOutputRedirectedToAFileLosesNothing) {
    const Reference& ref = reference();
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    for (const Output& o : kOutputs) {
        // As the shell's '>': the output, then the summary printed after it.
        Result r = runWithOutputTo(argsFor(o, "/dev/stdout"), out, false);
        EXPECT_EQ(r.status, 0) << o.option.toStdString() << ": " << r.err;
        EXPECT_TRUE(readFile(out) == ref.onStandardOutput(o)) << o.option.toStdString();
        // As '>>': what the file held stays in front.
        if (o.option == "--tables" || o.sweep) {
            writeFile(out, "earlier lines\n");
            Result a = runWithOutputTo(argsFor(o, "/dev/stdout"), out, true);
            EXPECT_EQ(a.status, 0) << a.err;
            EXPECT_TRUE(readFile(out) == "earlier lines\n" + ref.onStandardOutput(o)) << o.option.toStdString();
        }
    }
    // The file itself named as the target is the same file: written through too.
    Result named = runWithOutputTo(kRun + QStringList{"--tables", out}, out, false);
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(readFile(out) == ref.bytes.at("--tables") + ref.summary);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(BatchTargets, DevicesAndFifosWithAReaderAreWrittenThrough) {
    const Reference& ref = reference();
    QTemporaryDir dir;
    // Every output discarded in one run; nothing appears beside the device.
    QStringList discard = kRun;
    for (const Output& o : kOutputs)
        if (!o.sweep) discard << o.option << "/dev/null";
    Result r = runBatch(discard);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());  // the summary was discarded too
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/null")).exists());
    EXPECT_EQ(QDir(QStringLiteral("/dev")).entryList({"null?*", ".null*"}, QDir::AllEntries | QDir::Hidden).size(), 0);
    Result sweep = runBatch(kSweep + QStringList{"--sweep-out", "/dev/null"});
    EXPECT_EQ(sweep.status, 0) << sweep.err;

    // A full device is a failed write, with its reason.
    Result full = runBatch(kRun + QStringList{"--tables", "/dev/full"});
    EXPECT_EQ(full.status, 3);
    EXPECT_TRUE(contains(full.err, "cannot write /dev/full: No space left on device (--tables)")) << full.err;

    // One FIFO per output, each with its reader.
    for (bool sweepRun : {false, true}) {
        QStringList args = sweepRun ? kSweep : kRun;
        std::vector<QString> fifos;
        for (const Output& o : kOutputs) {
            if (o.sweep != sweepRun) continue;
            fifos.push_back(dir.filePath(o.option.mid(2) + ".fifo"));
            EXPECT_EQ(::mkfifo(fifos.back().toLocal8Bit().constData(), 0644), 0);
            args << o.option << fifos.back();
        }
        std::vector<std::string> got(fifos.size());
        std::vector<std::thread> readers;
        for (size_t i = 0; i < fifos.size(); ++i) readers.emplace_back([&, i] { got[i] = readFile(fifos[i]); });
        Result f = runBatch(args);
        // A reader whose FIFO was never opened is let go.
        for (const QString& fifo : fifos) {
            const int fd = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
        for (auto& t : readers) t.join();
        EXPECT_EQ(f.status, 0) << f.err;
        size_t i = 0;
        for (const Output& o : kOutputs) {
            if (o.sweep != sweepRun) continue;
            EXPECT_TRUE(got[i] == ref.bytes.at(o.option)) << o.option.toStdString() << ": " << got[i].size();
            struct stat st {};
            ::lstat(fifos[i].toLocal8Bit().constData(), &st);
            EXPECT_TRUE(S_ISFIFO(st.st_mode));
            ++i;
        }
    }

    // A file with a second name: both names see the new table.
    const QString first = dir.filePath("t.csv"), second = dir.filePath("t2.csv");
    writeFile(first, "old");
    ASSERT_EQ(::link(first.toLocal8Bit().constData(), second.toLocal8Bit().constData()), 0);
    Result linked = runBatch(kRun + QStringList{"--tables", first});
    EXPECT_EQ(linked.status, 0) << linked.err;
    EXPECT_TRUE(readFile(second) == ref.bytes.at("--tables"));
}

TEST(BatchTargets, MeshesRefuseTargetsThatAreNotAPlaceInAFolder) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("m.stl");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
    // All at once, and the FIFO without waiting for a reader.
    Result r = runBatch(kRun + QStringList{"--stl", "-", "--ply", "/dev/null", "--obj", "/dev/stdout",
                                           "--summary", dir.filePath("s.txt")});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.out.empty()) << r.out.size() << " bytes on standard output";
    const std::string why = ": a mesh is a set of files and needs a folder to go in, not a device, a FIFO or "
                            "standard output";
    EXPECT_TRUE(contains(r.err, "Cannot export a mesh to standard output ('-')" + why + " (--stl)")) << r.err;
    EXPECT_TRUE(contains(r.err, "Cannot export a mesh to /dev/null" + why + " (--ply)")) << r.err;
    EXPECT_TRUE(contains(r.err, "Cannot export a mesh to /dev/stdout" + why + " (--obj)")) << r.err;
    EXPECT_TRUE(contains(readFile(dir.filePath("s.txt")), "shown_stage="));  // the other outputs stand
    for (const char* stray : {"/dev/null_phragmocone.ply", "/dev/null_volumes.txt", "/dev/stdout.obj",
                              "/dev/stdout_volumes.txt"})
        EXPECT_FALSE(QFileInfo::exists(stray)) << stray;
    EXPECT_FALSE(QFileInfo::exists("-_phragmocone.stl"));

    Result f = runBatch(kRun + QStringList{"--stl", fifo});
    EXPECT_EQ(f.status, 3);
    EXPECT_TRUE(contains(f.err, "Cannot export a mesh to " + fifo.toStdString() + why)) << f.err;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"m.stl", "s.txt"}));
}

TEST(BatchTargets, TheSidecarGivesEachMeshFilesSizeAndChecksumInEveryFormat) {
    QTemporaryDir dir;
    Result r = runBatch(kRun + QStringList{"--mesh-ring-points", "36", "--ply", dir.filePath("p.ply"), "--obj",
                                           dir.filePath("o.obj"), "--stl", dir.filePath("s.stl")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const QString set : {"p", "o", "s"}) {
        auto kv = parseSummary(readFile(dir.filePath(set + "_volumes.txt")));
        for (const std::string object : {"phragmocone", "body_chamber"}) {
            if (kv[object] != "written") continue;
            const auto [crc, size] = cksum(dir.filePath(QString::fromStdString(kv[object + "_file"])));
            EXPECT_EQ(kv[object + "_file_cksum"], crc) << set.toStdString() << " " << object;
            EXPECT_EQ(kv[object + "_file_bytes"], size) << set.toStdString() << " " << object;
        }
    }
}

TEST(BatchTargets, ConcurrentWritersOfOneMeshSetLeaveAMatchingSet) {
    QTemporaryDir dir;
    const QString base = dir.filePath("m.stl");
    for (int round = 0; round < 3; ++round) {
        // Runs of different lengths give sets of different sizes.
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 0; i < 6; ++i) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->start(QStringLiteral(AMMONITE_BATCH),
                               {"--stages", QString::number(400 + 60 * i + 7 * round), "--mesh-ring-points", "36",
                                "--stl", base, "--summary", "/dev/null"});
        }
        for (auto& p : runs) {
            ASSERT_TRUE(p->waitForFinished(120000));
            EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        }
        auto kv = parseSummary(readFile(dir.filePath("m_volumes.txt")));
        for (const std::string object : {"phragmocone", "body_chamber"}) {
            const QString file = dir.filePath(QString::fromStdString("m_" + object + ".stl"));
            const auto [crc, size] = cksum(file);
            EXPECT_EQ(kv[object + "_file_cksum"], crc) << object << " round " << round;
            EXPECT_EQ(kv[object + "_file_bytes"], size) << object << " round " << round;
            // The triangle count in the file's header agrees with the sidecar.
            const std::string bytes = readFile(file);
            ASSERT_GE(bytes.size(), 84u);
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + 80);
            const unsigned long triangles = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<unsigned long>(b[3]) << 24);
            EXPECT_EQ(kv[object + "_triangles"], std::to_string(triangles)) << object << " round " << round;
        }
        // No temporary is left behind.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }
}
