// The one way the program writes a file.
//
// The bytes go to a uniquely named temporary file in the target's own folder;
// every write, the flush to the disk and the close are checked, and only a
// complete file is renamed over the target. On any failure the temporary is
// removed, an existing target keeps its bytes and its mode, and the error
// names the path and the operating system's reason.
//
// The target is looked at first, as the shell's `>` would look at it:
// - a symbolic link is followed, and the file it points to is replaced (the
//   link itself stays);
// - an existing target that is not a regular file (a folder, a device, a
//   FIFO, a socket) is refused;
// - a target the user may not write is refused ("Permission denied"). The
//   superuser, whom the permission bits do not stop, is held to the owner's
//   write bit of the file (and of the folder for a new file), so a file marked
//   read-only is not replaced by anyone;
// - a replaced file keeps its permission bits (and, for the superuser, its
//   owner); a new file gets 0666 less the umask.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace ammonite {

// A file written in pieces (meshes, long tables). Nothing under the target's
// name changes before commit(); a writer destroyed without commit() removes
// its temporary.
class SafeFileWriter {
public:
    explicit SafeFileWriter(std::string path);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Checks the target and creates the temporary; false with error() set.
    bool open();
    // Appends bytes; the first failure is kept and reported by finish().
    void write(const char* data, std::size_t size);
    void write(const std::string& text) { write(text.data(), text.size()); }
    // A stream over write(); a failed write also sets its badbit.
    std::ostream& stream();

    // Writes what is buffered, flushes it to the disk, gives the file the
    // target's mode and closes it; false with error() set (the temporary is
    // then removed).
    bool finish();
    // Renames the finished temporary over the target; false with error() set.
    bool publish();
    // finish() and publish().
    bool commit() { return finish() && publish(); }
    // Removes the temporary; the target stays as it was.
    void discard();

    const std::string& path() const { return path_; }
    // "cannot write PATH: REASON".
    const std::string& error() const { return error_; }
    bool failed() const { return errorNumber_ != 0 || !error_.empty(); }

private:
    class Buffer;
    void flushBuffer();
    bool fail(const std::string& reason);
    bool failErrno(int errorNumber);

    std::string path_;        // as the caller named it (shown in messages)
    std::string target_;      // the regular file it resolves to
    std::string temporary_;
    int fd_ = -1;
    bool targetExists_ = false;
    unsigned targetMode_ = 0;
    long targetUid_ = -1, targetGid_ = -1;
    bool finished_ = false;
    int errorNumber_ = 0;
    std::string error_;
    std::string pending_;
    std::unique_ptr<Buffer> buffer_;
    std::unique_ptr<std::ostream> stream_;
};

// The whole file at once; false with `error` = "cannot write PATH: REASON".
bool WriteFileSafely(const std::string& path, const std::string& bytes, std::string& error);
// The file as `body` streams it; a stream left failed (badbit or failbit) by
// `body` counts as a failed write.
bool WriteFileSafely(const std::string& path, const std::function<void(std::ostream&)>& body, std::string& error);

// The standard output after everything was printed to it: flushes it and
// tells whether every write reached its destination (false with a one-line
// reason, "cannot write to standard output: No space left on device").
bool FlushStandardOutput(std::string& error);
// Flushes what is pending on the standard output, then writes `bytes` to it
// and checks every write; false with a one-line reason.
bool WriteStandardOutput(const std::string& bytes, std::string& error);

}  // namespace ammonite
