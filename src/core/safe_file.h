// The one way the program writes a file.
//
// A regular file is written to a uniquely named temporary file in the
// target's own folder; every write, the flush to the disk and the close are
// checked, and only a complete file is renamed over the target. On any
// failure the temporary is removed, an existing target keeps its bytes and
// its mode, and the error names the path and the operating system's reason.
//
// The target is looked at first, as the shell's `>` would look at it:
// - `-` is the standard output, and a name of an open descriptor
//   (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N) is that
//   descriptor: the bytes are written through it, at its own position (so a
//   file opened with `>>` is appended to);
// - a target that is the very file the standard output (or error) already
//   points to is written through that descriptor too, never replaced, so
//   what the program prints there afterwards is not lost;
// - a character device, a FIFO or a pipe is opened for writing and written
//   directly, each write checked (a FIFO waits for its reader as with `>`);
// - a folder is refused;
// - a symbolic link is followed, and the file it points to is replaced (the
//   link itself stays);
// - a regular file with more than one name (hard links) is written in place
//   once the new contents are complete in the temporary file, so every name
//   sees the new contents;
// - a target the user may not write is refused ("Permission denied"). The
//   superuser, whom the permission bits do not stop, is held to the owner's
//   write bit of the file (and of the folder for a new file), so a file marked
//   read-only is not replaced by anyone;
// - a replaced file keeps its permission bits (and, for the superuser, its
//   owner); a new file gets 0666 less the umask;
// - a name containing a NUL character is refused.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace ammonite {

// A file written in pieces (meshes, long tables). Nothing under the target's
// name changes before commit(); a writer destroyed without commit() removes
// its temporary.
class SafeFileWriter {
public:
    // What becomes of a target that is not a regular file or folder (`-`, a
    // descriptor, a device, a FIFO): written through, or refused with "it is
    // not a regular file" where only a file on disk makes sense.
    enum class Special { WriteThrough, Refuse };

    explicit SafeFileWriter(std::string path, Special special = Special::WriteThrough);
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
    // Renames the finished temporary over the target (or copies it over a
    // target with several names); false with error() set. Nothing to do for
    // a target written through.
    bool publish();
    // finish() and publish().
    bool commit() { return finish() && publish(); }
    // Removes the temporary; the target stays as it was.
    void discard();

    const std::string& path() const { return path_; }
    // True once open() found a target that is written through, not replaced.
    bool writesThrough() const { return through_; }
    // Puts finished files in place in their order while holding a lock on the
    // folder of the first, so that concurrent writers of the same set of files
    // put whole sets in place one after another; stops at the first failure
    // (false with `error` set).
    // `published` (if given) receives how many were put in place.
    static bool PublishTogether(const std::vector<SafeFileWriter*>& files, std::string& error,
                                std::size_t* published = nullptr);
    // "cannot write PATH: REASON".
    const std::string& error() const { return error_; }
    bool failed() const { return errorNumber_ != 0 || !error_.empty(); }

private:
    class Buffer;
    void flushBuffer();
    bool fail(const std::string& reason);
    bool failErrno(int errorNumber);
    bool openThrough(int fd, bool duplicate);
    bool copyOverTarget();

    std::string path_;        // as the caller named it (shown in messages)
    Special special_;
    std::string target_;      // the regular file it resolves to
    std::string temporary_;
    int fd_ = -1;
    bool targetExists_ = false;
    bool through_ = false;    // written straight to fd_, no temporary
    bool inPlace_ = false;    // a target with several names: copied over at publish()
    unsigned targetMode_ = 0;
    long targetUid_ = -1, targetGid_ = -1;
    bool finished_ = false;
    int errorNumber_ = 0;
    std::string error_;
    std::string pending_;
    std::unique_ptr<Buffer> buffer_;
    std::unique_ptr<std::ostream> stream_;
};

// The descriptor a name stands for: `-` the standard output, /dev/stdin,
// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N; -1 for any other.
int DescriptorNamed(const std::string& path);

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

// The last part of a path, which names the file in a message.
inline std::string FileBaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace ammonite
