// Running the built ammonite-batch as a user would, and reading its summary.
#pragma once

#include <QProcess>
#include <QStringList>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace batch_test {

struct Result {
    int status = -1;  // -1: did not finish or crashed
    std::string out, err;
};

// Waits for a started process and collects what it wrote.
inline Result finish(QProcess& p) {
    Result r;
    if (!p.waitForFinished(120000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

inline Result runBatch(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(AMMONITE_BATCH), args);
    return finish(p);
}

// The key=value lines of a summary.
inline std::map<std::string, std::string> parseSummary(const std::string& text) {
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
}

inline std::string readFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace batch_test
