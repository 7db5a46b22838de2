// ammonite-batch's films as a user makes them: PNG frames of a gallery form
// with their text chunks, an MP4 read back with ffprobe when ffmpeg is
// installed, and a clear message naming ffmpeg when it is not.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

#include "support/batch_process.h"

using batch_test::Result;
using batch_test::runBatch;

namespace {

const QString kForm = QStringLiteral(AMMONITE_GALLERY_DIR "/ancyloceras.toml");

bool onPath(const char* program) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

Result runWithEnvironment(const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(AMMONITE_BATCH), args);
    return batch_test::finish(p);
}

}  // namespace

TEST(BatchFilm, GrowthFramesOfAGalleryFormAsPngFiles) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("frames"));
    const Result r = runBatch({"--scenario", kForm, "--film-frames", folder, "--film-size", "160x120", "--film-fps",
                               "5", "--film-seconds", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QStringList files = QDir(folder).entryList({"*.png"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 5) << files.join(' ').toStdString();
    EXPECT_EQ(files.first(), "frame_00001.png");
    EXPECT_NE(r.err.find("film: 5 frames of 160x120"), std::string::npos) << r.err;
    QImage first(QDir(folder).filePath(files.first())), last(QDir(folder).filePath(files.last()));
    ASSERT_EQ(first.size(), QSize(160, 120));
    EXPECT_NE(first, last);
    // The frames name what made them: the program, the film and the inputs.
    EXPECT_TRUE(first.text("Software").startsWith("ammonite "));
    EXPECT_TRUE(first.text("Description").contains("film=growth 160x120 5 fps 1 s"));
    EXPECT_TRUE(first.text("Description").contains("ancyloceras.toml"));
    // The scenario that grew the shell, as its file would hold it.
    EXPECT_TRUE(first.text("Description").contains("scenario:\n")) << first.text("Description").toStdString();
    EXPECT_TRUE(first.text("Description").contains("Ancyloceras")) << first.text("Description").toStdString();
    EXPECT_EQ(first.text("Title"), "Frame 1 of 5");

    // A shorter film in the same folder leaves none of the longer one's frames.
    const Result again = runBatch({"--scenario", kForm, "--film-frames", folder, "--film-size", "160x120",
                                   "--film-fps", "3", "--film-seconds", "1"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(QDir(folder).entryList({"*.png"}, QDir::Files).size(), 3);
}

TEST(BatchFilm, Mp4ReadBackWithFfprobe) {
    if (!onPath("ffmpeg") || !onPath("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("growth.mp4"));
    const Result r = runBatch({"--scenario", kForm, "--film", path, "--film-size", "320x240", "--film-fps", "10",
                               "--film-seconds", "1.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                 "stream=codec_name,width,height,nb_read_frames:format_tags=comment", "-of", "default=nw=1", path});
    ASSERT_TRUE(probe.waitForFinished(60000));
    const QString out = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_TRUE(out.contains("codec_name=h264")) << out.toStdString();
    EXPECT_TRUE(out.contains("width=320")) << out.toStdString();
    EXPECT_TRUE(out.contains("height=240")) << out.toStdString();
    EXPECT_TRUE(out.contains("nb_read_frames=15")) << out.toStdString();
    EXPECT_TRUE(out.contains("film=growth 320x240 10 fps 1.5 s")) << out.toStdString();
    // Nothing but the film is left in its folder (no temporary, no scratch).
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"growth.mp4"});
}

TEST(BatchFilm, WithoutFfmpegTheMessageNamesItAndFramesStillWork) {
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", "");
    const QString film = dir.filePath(QStringLiteral("growth.mp4"));
    const QString folder = dir.filePath(QStringLiteral("frames"));
    const Result video = runWithEnvironment({"--film", film, "--film-size", "64x48", "--film-fps", "2"}, env);
    EXPECT_EQ(video.status, 3) << video.err;
    EXPECT_NE(video.err.find("ffmpeg is not installed"), std::string::npos) << video.err;
    EXPECT_NE(video.err.find("(--film)"), std::string::npos) << video.err;
    EXPECT_FALSE(QFile::exists(film));

    const Result frames = runWithEnvironment(
        {"--film-frames", folder, "--film-size", "64x48", "--film-fps", "2", "--film-seconds", "1"}, env);
    EXPECT_EQ(frames.status, 0) << frames.err;
    EXPECT_EQ(QDir(folder).entryList({"*.png"}, QDir::Files).size(), 2);
}

TEST(BatchFilm, ARunThatStoppedHasNoFilmAndKeepsItsStatus) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("frames"));
    const Result r = runBatch({"--densities", "0,0", "--film-frames", folder, "--film-fps", "2"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Cannot film the shell: the last run stopped on an error at stage"), std::string::npos) << r.err;
    EXPECT_TRUE(QDir(folder).entryList({"*.png"}, QDir::Files).isEmpty());
}

TEST(BatchFilm, BadFilmOptionsAreRefusedBeforeTheRun) {
    const std::pair<QStringList, std::string> cases[] = {
        {{"--film", "x.avi"}, ".mp4, .webm or .gif"},
        {{"--film-frames", "f", "--film-size", "641x480"}, "even"},
        {{"--film-frames", "f", "--film-size", "big"}, "WIDTHxHEIGHT"},
        {{"--film-frames", "f", "--film-fps", "0"}, "--film-fps"},
        {{"--film-frames", "f", "--film-seconds", "-1"}, "--film-seconds"},
        {{"--film-frames", "f", "--film-kind", "zoom"}, "growth, turntable or both"},
        {{"--film-kind", "both"}, "need --film or --film-frames"},
        {{"--film-frames", "f", "--sweep", "alpha=0:1:2"}, "--film-frames cannot be combined with --sweep"},
    };
    for (const auto& [args, words] : cases) {
        const Result r = runBatch(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find(words), std::string::npos) << args.join(' ').toStdString() << ": " << r.err;
    }
}
