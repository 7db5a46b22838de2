// Where the regulation log goes: the main window's text picture box, a file
// of the headless tool, or memory in tests.
#pragma once

#include <string>
#include <vector>

namespace ammonite {

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void clear() = 0;
    // One log line; `items` are printed one after another.
    virtual void line(const std::vector<std::string>& items) = 0;
};

class MemoryLog : public LogSink {
public:
    void clear() override { lines.clear(); }
    void line(const std::vector<std::string>& items) override { lines.push_back(items); }
    // Items joined by one blank.
    static std::string join(const std::vector<std::string>& items) {
        std::string out;
        for (size_t i = 0; i < items.size(); ++i) {
            if (i) out += ' ';
            out += items[i];
        }
        return out;
    }
    std::vector<std::vector<std::string>> lines;
};

}  // namespace ammonite
