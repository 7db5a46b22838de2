#include "model/profile_file.h"

#include "core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sstream>

namespace ammonite {

const char* const kProfileFolderName = "ammonite";
const char* const kProfileFileName = "SAMPLE.txt";

namespace {

// Section headers in Shift-JIS: α 83 BF, γ 83 C1, Ｃ 82 62, Ｔ 82 73, β 83 C0.
const char* const kAlphaHeader = "*** \x83\xBF ***";
const char* const kSectionHeaders[4] = {"*** \x83\xC1 ***", "*** \x82\x62 ***", "*** \x82\x73 ***",
                                        "*** \x83\xC0 ***"};
// Names used in messages (UTF-8).
const char* const kSectionNames[4] = {"\xCE\xB3", "C", "T", "\xCE\xB2"};

const char* const kLineEnd = "\r\n";

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

// ---- reading ----

// Reads the fields of the file in sequence: commas and line ends both end a
// field, double quotes enclose a text field, blank lines are skipped.
class FieldReader {
public:
    explicit FieldReader(const std::string& bytes) : s_(bytes) {}

    // False at the end of the data.
    bool next(std::string& field) {
        field.clear();
        for (;;) {
            skipBlanks();
            if (atLineStart_ && pos_ < s_.size() && (s_[pos_] == '\r' || s_[pos_] == '\n')) {
                endLine();
                continue;
            }
            break;
        }
        if (pos_ >= s_.size()) return false;
        fieldLine_ = line_;
        if (s_[pos_] == '"') {
            ++pos_;
            while (pos_ < s_.size() && s_[pos_] != '"') {
                if (s_[pos_] == '\n') ++line_;
                field += s_[pos_++];
            }
            if (pos_ < s_.size()) ++pos_;  // closing quote
            // Anything between the closing quote and the separator is ignored.
            while (pos_ < s_.size() && !isSeparator(s_[pos_])) ++pos_;
        } else {
            while (pos_ < s_.size() && !isSeparator(s_[pos_])) field += s_[pos_++];
            while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
        }
        if (pos_ < s_.size() && s_[pos_] == ',') {
            ++pos_;
            atLineStart_ = false;
        } else if (pos_ < s_.size()) {
            endLine();
        }
        return true;
    }
    // Line of the last field read (or of the end of the data).
    int fieldLine() const { return fieldLine_; }
    int line() const { return line_; }

private:
    static bool isSeparator(char c) { return c == ',' || c == '\r' || c == '\n'; }
    void skipBlanks() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    }
    void endLine() {
        if (s_[pos_] == '\r') {
            ++pos_;
            if (pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
        } else {
            ++pos_;
        }
        ++line_;
        atLineStart_ = true;
    }

    const std::string& s_;
    size_t pos_ = 0;
    int line_ = 1;
    int fieldLine_ = 1;
    bool atLineStart_ = true;
};

// A reading failure: the message names the line.
struct BadField {
    std::string message;
};

class ProfileParser {
public:
    explicit ProfileParser(const std::string& bytes) : reader_(bytes) {}

    void text(const std::string& what) { field(what); }

    double number(const std::string& what) {
        field(what);
        double v = 0;
        if (!tryParseWholeNumber(field_, v)) fail(what + " \"" + shortened(field_) + "\" is not a number");
        return v;
    }
    double stage(const std::string& what) {
        double v = number(what);
        if (!(v >= 0 && v <= kMaxStage))
            fail(what + " " + formatNumber(v) + " is outside 0..4000");
        return v;
    }
    std::int16_t count(const std::string& what) {
        double v = number(what);
        if (!(v >= 0 && v <= ParameterProfile::kMaxCount) || v != std::floor(v))
            fail(what + " " + formatNumber(v) + " is not a whole number from 0 to 50");
        return static_cast<std::int16_t>(v);
    }

private:
    void field(const std::string& what) {
        if (!reader_.next(field_))
            throw BadField{"line " + std::to_string(reader_.line()) + ": the file ends before " + what};
    }
    [[noreturn]] void fail(const std::string& what) {
        throw BadField{"line " + std::to_string(reader_.fieldLine()) + ": " + what};
    }
    static std::string shortened(const std::string& t) {
        std::string out;
        for (char c : t) {
            if (out.size() >= 24) return out + "...";
            unsigned char u = static_cast<unsigned char>(c);
            out += (u < 0x20 || u >= 0x80) ? '?' : c;  // keep the message plain text
        }
        return out;
    }

    FieldReader reader_;
    std::string field_;
};

}  // namespace

// ---- contents ----

ProfileFileContents ProfileFileContents::from(const ModelState& model) {
    ProfileFileContents c;
    c.alpha = model.alpha;
    c.stageRange = model.stageRange;
    c.profiles = {model.gammaProfile, model.curvatureProfile, model.torsionProfile, model.betaProfile};
    return c;
}

void ProfileFileContents::commitTo(ModelState& model) const {
    model.alpha = alpha;
    model.stageRange = stageRange;
    model.gammaProfile = profiles[0];
    model.curvatureProfile = profiles[1];
    model.torsionProfile = profiles[2];
    model.betaProfile = profiles[3];
}

// ---- writing ----

std::string FormatProfileFile(const ModelState& model) {
    std::string out;
    auto num = [](double v) { return formatNoLeadingZero(v); };
    out += quoted("SAMPLE") + kLineEnd;
    out += quoted(kAlphaHeader) + "," + num(model.alpha) + kLineEnd;
    out += num(model.stageRange[0]) + "," + num(model.stageRange[1]) + kLineEnd;
    const ParameterProfile* profiles[4] = {&model.gammaProfile, &model.curvatureProfile,
                                           &model.torsionProfile, &model.betaProfile};
    for (int p = 0; p < 4; ++p) {
        const ParameterProfile& prof = *profiles[p];
        out += quoted(kSectionHeaders[p]) + "," + std::to_string(prof.count) + kLineEnd;
        int last = prof.count;
        if (last > ParameterProfile::kMaxCount) last = ParameterProfile::kMaxCount;
        for (int i = 0; i <= last; ++i)
            out += num(prof.stages[static_cast<size_t>(i)]) + "," + num(prof.values[static_cast<size_t>(i)]) +
                   kLineEnd;
    }
    return out;
}

bool WriteProfileFile(const std::string& path, const ModelState& model, std::string& error) {
    return WriteFileSafely(path, FormatProfileFile(model), error);
}

// ---- reading ----

bool ParseProfileFile(const std::string& bytes, ProfileFileContents& into, std::string& error) {
    ProfileFileContents c = into;
    try {
        ProfileParser in(bytes);
        in.text("the title");
        in.text("the \xCE\xB1 header");
        c.alpha = in.number("\xCE\xB1");
        c.stageRange[0] = in.stage("the first stage");
        c.stageRange[1] = in.stage("the final stage");
        for (int p = 0; p < 4; ++p) {
            std::string name = kSectionNames[p];
            ParameterProfile& prof = c.profiles[static_cast<size_t>(p)];
            in.text("the " + name + " header");
            prof.count = in.count("the " + name + " count");
            for (int i = 0; i <= prof.count; ++i) {
                std::string point = "the " + name + " point " + std::to_string(i);
                prof.stages[static_cast<size_t>(i)] = in.stage(point + " stage");
                prof.values[static_cast<size_t>(i)] = in.number(point + " value");
            }
        }
    } catch (const BadField& bad) {
        error = bad.message;
        return false;
    } catch (const RuntimeError& e) {
        error = e.what();
        return false;
    }
    into = c;
    return true;
}

bool ReadProfileFileBytes(const std::string& path, std::string& bytes, std::string& error) {
    return ReadBoundedFile(path, kMaxProfileFileBytes, bytes, error);
}

bool ReadBoundedFile(const std::string& path, size_t limit, std::string& bytes, std::string& error) {
    const std::string name = FileBaseName(path);
    if (path.find('\0') != std::string::npos) {
        std::string shown;  // the NUL spelled out: the message stays one plain line
        for (char c : name) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        error = "cannot open " + shown + ": the file name contains a NUL character";
        return false;
    }
    // Opened without waiting: a pipe with no writer must not hang the reader.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + name + ": " + std::strerror(errno);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = "cannot read " + name + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = name + " is a folder";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = name + " is not a regular file";
        return false;
    }
    if (st.st_size > static_cast<off_t>(limit)) {
        error = name + " is larger than " + std::to_string(limit >> 20) + " MiB";
        return false;
    }
    // A file that grows while it is read is still cut off at the limit.
    std::string got;
    got.resize(static_cast<size_t>(st.st_size) + 1);
    size_t used = 0;
    for (;;) {
        if (used == got.size()) {
            if (got.size() > limit) break;
            got.resize(std::min(got.size() * 2, limit + 1));
        }
        const ssize_t n = ::read(fd, &got[used], got.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "cannot read " + name + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    if (used > limit) {
        error = name + " is larger than " + std::to_string(limit >> 20) + " MiB";
        return false;
    }
    got.resize(used);
    bytes = std::move(got);
    return true;
}

bool ReadProfileFile(const std::string& path, ModelState& model, std::string& error) {
    const std::string name = FileBaseName(path);
    std::string bytes;
    if (!ReadProfileFileBytes(path, bytes, error)) {
        error += "; nothing was loaded";
        return false;
    }
    ProfileFileContents c = ProfileFileContents::from(model);
    std::string why;
    if (!ParseProfileFile(bytes, c, why)) {
        error = name + ", " + why + "; nothing was loaded";
        return false;
    }
    c.commitTo(model);
    model.profileFileName = path;
    model.lastStage = toInt16(model.stageRange[1]);
    model.shownStage = toInt16(model.stageRange[1]);
    return true;
}

}  // namespace ammonite
