// A temporary folder and the file and process helpers of the file writer's
// tests.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace writer_test {

struct Folder {
    std::string path;
    Folder() {
        char pattern[] = "/tmp/safe_file_test.XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~Folder() {
        ::chmod(path.c_str(), 0755);  // a test may have made it read-only
        std::string command = "rm -rf '" + path + "'";
        (void)std::system(command.c_str());
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        if (DIR* d = ::opendir(path.c_str())) {
            while (dirent* e = ::readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
            ::closedir(d);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string readFd(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    return out;
}

inline void writePlain(const std::string& path, const std::string& bytes, mode_t mode) {
    std::ofstream(path, std::ios::binary) << bytes;
    ::chmod(path.c_str(), mode);
}

// Runs `action` in a child process; returns what it wrote to its pipe.
template <typename Action>
std::string inChild(Action action) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    std::fflush(stdout);  // nothing of the parent's is printed twice
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string said = action();
        (void)!::write(fds[1], said.data(), said.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    const std::string out = readFd(fds[0]);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return out + " [child ended by signal " + std::to_string(WTERMSIG(status)) + "]";
    return out;
}

}  // namespace writer_test
