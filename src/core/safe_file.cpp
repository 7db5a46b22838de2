#include "core/safe_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <vector>

namespace ammonite {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr int kMaxLinks = 40;  // as the kernel follows them

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The permission bits a new file gets from the shell: 0666 less the umask.
// The umask is read without changing it where the system tells it.
unsigned newFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            unsigned mask = 0;
            std::istringstream(line.substr(6)) >> std::oct >> mask;
            return 0666u & ~mask;
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

// A file-size limit (ulimit -f) must make a write fail with EFBIG instead of
// ending the program.
void ignoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            std::signal(SIGXFSZ, SIG_IGN);
    });
}

bool superuser() { return ::geteuid() == 0; }

}  // namespace

int DescriptorNamed(const std::string& path) {
    if (path == "-" || path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    if (path == "/dev/stdin") return STDIN_FILENO;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::string p(prefix);
        if (path.size() > p.size() && path.size() <= p.size() + 9 && path.compare(0, p.size(), p) == 0 &&
            path.find_first_not_of("0123456789", p.size()) == std::string::npos)
            return std::stoi(path.substr(p.size()));
    }
    return -1;
}

namespace {

// What is pending in the program's own streams on `fd` goes out before
// anything is written through it, so the order of the output is kept.
void flushStreamsOf(int fd) {
    if (fd == STDOUT_FILENO) {
        std::cout.flush();
        std::fflush(stdout);
    } else if (fd == STDERR_FILENO) {
        std::cerr.flush();
        std::clog.flush();
        std::fflush(stderr);
    }
}

// The standard descriptor (output, then error) that is open on the file `st`
// describes; -1 when neither is.
int standardDescriptorOn(const struct stat& st) {
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat on {};
        if (::fstat(fd, &on) == 0 && on.st_dev == st.st_dev && on.st_ino == st.st_ino) return fd;
    }
    return -1;
}

}  // namespace

class SafeFileWriter::Buffer : public std::streambuf {
public:
    explicit Buffer(SafeFileWriter& owner) : owner_(owner) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        owner_.write(&ch, 1);
        return owner_.errorNumber_ ? traits_type::eof() : c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        owner_.write(s, static_cast<std::size_t>(n));
        return owner_.errorNumber_ ? 0 : n;
    }

private:
    SafeFileWriter& owner_;
};

SafeFileWriter::SafeFileWriter(std::string path, Special special) : path_(std::move(path)), special_(special) {}

SafeFileWriter::~SafeFileWriter() { discard(); }

bool SafeFileWriter::fail(const std::string& reason) {
    if (error_.empty()) error_ = "cannot write " + path_ + ": " + reason;
    discard();
    return false;
}

bool SafeFileWriter::failErrno(int errorNumber) {
    if (!errorNumber_) errorNumber_ = errorNumber ? errorNumber : EIO;
    return fail(std::strerror(errorNumber_));
}

bool SafeFileWriter::openThrough(int fd, bool duplicate) {
    if (special_ == Special::Refuse) return fail("it is not a regular file");
    if (duplicate) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0) return failErrno(errno);
        if ((flags & O_ACCMODE) == O_RDONLY) return failErrno(EBADF);
        flushStreamsOf(fd);
        fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (fd < 0) return failErrno(errno);
    }
    fd_ = fd;
    through_ = true;
    pending_.reserve(kChunk);
    return true;
}

bool SafeFileWriter::open() {
    if (fd_ >= 0 || failed()) return !failed();
    ignoreFileSizeSignal();
    if (path_.empty()) return fail("no file name given");
    if (path_.find('\0') != std::string::npos) {
        // Shown with the NUL spelled out, so the message stays one plain line.
        std::string shown;
        for (char c : path_) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        error_ = "cannot write " + shown + ": the file name contains a NUL character";
        return false;
    }

    // A descriptor named as such is written through, whatever it is open on.
    const int named = DescriptorNamed(path_);
    if (named >= 0) return openThrough(named, true);

    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return fail("it is a folder");
        // The file the standard output already goes to is written through it:
        // replacing it would lose what is printed there afterwards.
        const int standard = standardDescriptorOn(st);
        if (standard >= 0 && (special_ == Special::WriteThrough || !S_ISREG(st.st_mode)))
            return openThrough(standard, true);
        if (!S_ISREG(st.st_mode)) {
            if (special_ == Special::Refuse) return fail("it is not a regular file");
            // A device, a FIFO (waiting for its reader, as `>` does) or a pipe.
            int fd;
            do fd = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            while (fd < 0 && errno == EINTR);
            if (fd < 0) return failErrno(errno);
            return openThrough(fd, false);
        }
    } else if (errno != ENOENT) {
        return failErrno(errno);
    }

    // Follow symbolic links to the file that will be replaced.
    std::string target = path_;
    for (int links = 0;; ++links) {
        if (::lstat(target.c_str(), &st) != 0) {
            if (errno != ENOENT) return failErrno(errno);
            targetExists_ = false;
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            targetExists_ = true;
            break;
        }
        if (links == kMaxLinks) return failErrno(ELOOP);
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0) return failErrno(errno);
        const std::string to(link.data(), static_cast<std::size_t>(n));
        target = !to.empty() && to[0] == '/' ? to : folderOf(target) + "/" + to;
    }
    target_ = target;
    const std::string folder = folderOf(target_);

    if (targetExists_) {
        if (S_ISDIR(st.st_mode)) return fail("it is a folder");
        if (!S_ISREG(st.st_mode)) return fail("it is not a regular file");
        if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return failErrno(errno);
        if (superuser() && !(st.st_mode & S_IWUSR)) return failErrno(EACCES);
        targetMode_ = st.st_mode & 07777;
        targetUid_ = static_cast<long>(st.st_uid);
        targetGid_ = static_cast<long>(st.st_gid);
        inPlace_ = st.st_nlink > 1;
    } else {
        targetMode_ = newFileMode();
    }
    struct stat folderStat {};
    if (::stat(folder.c_str(), &folderStat) != 0) return failErrno(errno);
    if (!S_ISDIR(folderStat.st_mode)) return failErrno(ENOTDIR);
    if (superuser() && !(folderStat.st_mode & S_IWUSR)) return failErrno(EACCES);

    // A hidden name beside the target, unique to this writer.
    std::string name = nameOf(target_);
    if (name.size() > 200) name.resize(200);
    std::string pattern = folder + "/." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return failErrno(errno);
    fd_ = fd;
    temporary_ = buffer.data();
    pending_.reserve(kChunk);
    return true;
}

void SafeFileWriter::write(const char* data, std::size_t size) {
    if (errorNumber_ || finished_) return;
    if (fd_ < 0) {
        errorNumber_ = EBADF;
        return;
    }
    if (pending_.size() + size > kChunk) {
        flushBuffer();
        if (size >= kChunk) {
            pending_.assign(data, size);
            flushBuffer();
            return;
        }
    }
    pending_.append(data, size);
}

void SafeFileWriter::flushBuffer() {
    std::size_t done = 0;
    while (!errorNumber_ && done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A pipe or terminal left non-blocking by whoever opened it.
                pollfd ready{fd_, POLLOUT, 0};
                if (::poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
            }
            errorNumber_ = errno ? errno : EIO;
        } else if (n == 0) {
            errorNumber_ = ENOSPC;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    pending_.clear();
}

std::ostream& SafeFileWriter::stream() {
    if (!stream_) {
        buffer_ = std::make_unique<Buffer>(*this);
        stream_ = std::make_unique<std::ostream>(buffer_.get());
    }
    return *stream_;
}

bool SafeFileWriter::finish() {
    if (finished_) return true;
    if (!error_.empty()) return false;
    if (fd_ < 0) return failErrno(errorNumber_ ? errorNumber_ : EBADF);
    if (stream_) stream_->flush();
    flushBuffer();
    if (errorNumber_) return failErrno(errorNumber_);
    if (through_) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) return failErrno(errno);
        finished_ = true;
        return true;
    }
    // Some file systems cannot sync (EINVAL); the data is then as safe as they make it.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) return failErrno(errno);
    if (superuser() && targetUid_ >= 0) {
        // Best effort: a replaced file keeps its owner where the system lets it.
        if (::fchown(fd_, static_cast<uid_t>(targetUid_), static_cast<gid_t>(targetGid_)) != 0) errno = 0;
    }
    if (::fchmod(fd_, static_cast<mode_t>(targetMode_)) != 0) return failErrno(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return failErrno(errno);
    finished_ = true;
    return true;
}

bool SafeFileWriter::publish() {
    if (through_ && finished_) return true;
    if (!finished_ || temporary_.empty()) return fail("the file was not finished");
    if (inPlace_) return copyOverTarget();
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return failErrno(errno);
    temporary_.clear();
    return true;
}

// A target with other names keeps its inode: the complete temporary is copied
// over it. The space is reserved first where the file system can, so a full
// disk is met before the first byte of the old contents is overwritten.
bool SafeFileWriter::copyOverTarget() {
    struct Descriptor {
        int fd = -1;
        ~Descriptor() {
            if (fd >= 0) ::close(fd);
        }
    } in, out;
    in.fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) return failErrno(errno);
    out.fd = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (out.fd < 0) return failErrno(errno);
    // Two writers copying over one file take turns.
    while (::flock(out.fd, LOCK_EX) != 0)
        if (errno != EINTR) return failErrno(errno);
    struct stat st {};
    if (::fstat(in.fd, &st) != 0) return failErrno(errno);
    const off_t size = st.st_size;
    if (size > 0 && ::fallocate(out.fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS && errno != EINVAL)
        return failErrno(errno);
    std::vector<char> chunk(kChunk);
    off_t offset = 0;
    while (offset < size) {
        const ssize_t got = ::pread(in.fd, chunk.data(), chunk.size(), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return failErrno(got < 0 ? errno : EIO);
        ssize_t done = 0;
        while (done < got) {
            const ssize_t n = ::pwrite(out.fd, chunk.data() + done, static_cast<size_t>(got - done), offset + done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return failErrno(n < 0 ? errno : ENOSPC);
            done += n;
        }
        offset += got;
    }
    if (::ftruncate(out.fd, size) != 0) return failErrno(errno);
    if (::fsync(out.fd) != 0 && errno != EINVAL && errno != EROFS) return failErrno(errno);
    const int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0) return failErrno(errno);
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return true;
}

bool SafeFileWriter::PublishTogether(const std::vector<SafeFileWriter*>& files, std::string& error,
                                     std::size_t* published) {
    if (published) *published = 0;
    if (files.empty()) return true;
    // A lock on the folder, not on a file in it: nothing is left behind, and
    // every writer of the set meets the same lock.
    int lock = -1;
    const SafeFileWriter& first = *files.front();
    if (!first.through_ && !first.target_.empty()) {
        lock = ::open(folderOf(first.target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (lock >= 0)
            while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    bool ok = true;
    for (SafeFileWriter* file : files) {
        if (!file->publish()) {
            error = file->error();
            ok = false;
            break;
        }
        if (published) ++*published;
    }
    if (lock >= 0) ::close(lock);  // closing releases the lock
    return ok;
}

void SafeFileWriter::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    pending_.clear();
}

bool WriteFileSafely(const std::string& path, const std::string& bytes, std::string& error) {
    SafeFileWriter file(path);
    if (file.open()) {
        file.write(bytes);
        if (file.commit()) return true;
    }
    error = file.error();
    return false;
}

bool WriteFileSafely(const std::string& path, const std::function<void(std::ostream&)>& body, std::string& error) {
    SafeFileWriter file(path);
    if (file.open()) {
        std::ostream& out = file.stream();
        body(out);
        out.flush();
        if (!out && !file.failed()) {
            file.discard();
            error = "cannot write " + path + ": the output could not be formatted";
            return false;
        }
        if (file.commit()) return true;
    }
    error = file.error();
    return false;
}

bool FlushStandardOutput(std::string& error) {
    // The stream flushes the C buffer under it; either may meet the failure.
    errno = 0;
    std::cout.flush();
    const int streamReason = errno;
    errno = 0;
    const int flushed = std::fflush(stdout);
    const int reason = errno ? errno : streamReason;
    if (flushed == 0 && !std::ferror(stdout) && std::cout.good()) return true;
    error = std::string("cannot write to standard output: ") + std::strerror(reason ? reason : EIO);
    return false;
}

bool WriteStandardOutput(const std::string& bytes, std::string& error) {
    if (!FlushStandardOutput(error)) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::string("cannot write to standard output: ") + std::strerror(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace ammonite
