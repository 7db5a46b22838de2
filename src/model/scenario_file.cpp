#include "model/scenario_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>

#include <toml++/toml.h>

#include "core/safe_file.h"
#include "model/profile_file.h"

namespace ammonite {

const char* const kScenarioTag = "ammonite-scenario";

namespace {

// Scenario files are small; a picture that carries one may be larger.
constexpr size_t kMaxScenarioFileBytes = 1 << 20;
constexpr size_t kMaxCarrierBytes = size_t{256} << 20;

// Shortest text that reads back as the same double; whole numbers without a point.
std::string numberText(double v) {
    char buf[40];
    if (v == std::floor(v) && std::fabs(v) < 9007199254740992.0) {
        std::snprintf(buf, sizeof buf, "%.0f", v == 0 ? 0.0 : v);
        return buf;
    }
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

// A TOML basic string.
std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04X", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string valueText(const ScenarioValue& v) {
    switch (v.kind) {
    case ScenarioValue::Kind::Bool: return v.flag ? "true" : "false";
    case ScenarioValue::Kind::Integer:
    case ScenarioValue::Kind::Float: return numberText(v.number);
    case ScenarioValue::Kind::Text: return quoted(v.text);
    case ScenarioValue::Kind::List: {
        std::string out = "[";
        for (size_t i = 0; i < v.items.size(); ++i) out += (i ? ", " : "") + valueText(v.items[i]);
        return out + "]";
    }
    }
    return "";
}

// A profile: short ones on one line, longer ones four points a line.
std::string profileText(const ScenarioValue& v) {
    if (v.items.size() <= 4) return valueText(v);
    std::string out = "[\n";
    for (size_t i = 0; i < v.items.size(); ++i) {
        if (i % 4 == 0) out += "    ";
        out += valueText(v.items[i]) + ",";
        out += (i % 4 == 3 || i + 1 == v.items.size()) ? "\n" : " ";
    }
    return out + "]";
}

// The comment above each group of keys.
const char* groupComment(const std::string& key) {
    if (key == "alpha")
        return "\n# Profiles: [stage, value] pairs, stages non-decreasing from 0 to final_stage;\n"
               "# a single pair holds its value over the whole range.\n";
    if (key == "stages")
        return "\n# The run: stage count typed into the STAGE box, how many times START is\n"
               "# pressed (each START carries over what the model hands to the next), SHADE.\n";
    if (key == "scale") return "\n# Settings: drawing scale and origin (picture units), view and light directions.\n";
    if (key == "density_air") return "# Densities in g/cm3 (air chamber, body chamber) and the switches.\n";
    if (key == "st1")
        return "\n# Threshold bars: ST1, ST2 0..1000 (size x 100), FT1, FT2 -80..0 (fatigue x 100).\n";
    if (key == "mm_per_unit")
        return "\n# The specimen the profiles were fitted to: millimetres per model unit and the\n"
               "# stage of its first measured point.\n";
    return "";
}

ScenarioValue fromNode(const toml::node& n, bool& ok, std::string& what) {
    if (auto b = n.as_boolean()) return ScenarioValue::ofBool(b->get());
    if (auto i = n.as_integer()) return ScenarioValue::ofInteger(static_cast<double>(i->get()));
    if (auto f = n.as_floating_point()) return ScenarioValue::ofFloat(f->get());
    if (auto s = n.as_string()) return ScenarioValue::ofText(s->get());
    if (auto a = n.as_array()) {
        std::vector<ScenarioValue> items;
        for (const toml::node& e : *a) {
            items.push_back(fromNode(e, ok, what));
            if (!ok) return {};
        }
        return ScenarioValue::ofList(std::move(items));
    }
    ok = false;
    what = n.is_table() ? "a table" : "a date or time";
    return {};
}

std::uint32_t crc32(const std::string& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void putBigEndian(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

std::uint32_t getBigEndian(const std::string& s, size_t at) {
    std::uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

bool isPng(const std::string& bytes) { return bytes.size() >= 8 && bytes.compare(0, 8, kPngSignature, 8) == 0; }

std::string xmlEscaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string xmlUnescaped(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const struct {
            const char* entity;
            char c;
        } entities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        bool matched = false;
        for (const auto& e : entities) {
            const size_t n = std::strlen(e.entity);
            if (s.compare(i, n, e.entity) == 0) {
                out += e.c;
                i += n - 1;
                matched = true;
                break;
            }
        }
        if (!matched) out += '&';
    }
    return out;
}

}  // namespace

std::string ScenarioToml(const Scenario& scenario) {
    std::string out =
        "# Ammonite scenario: everything that defines a grown shell. Every key is\n"
        "# optional but format; a missing key keeps its default. Keys, units and\n"
        "# ranges: docs/scenario.md.\n";
    for (const auto& [key, value] : ScenarioValues(scenario)) {
        if (value.kind == ScenarioValue::Kind::Text && value.text.empty()) continue;
        // A shell no fit made has no specimen to lie over.
        if ((key == "mm_per_unit" || key == "first_measured_stage") && value.number == 0) continue;
        out += groupComment(key);
        const bool isProfile = key == "gamma" || key == "C" || key == "T" || key == "beta";
        out += key + " = " + (isProfile ? profileText(value) : valueText(value)) + "\n";
    }
    return out;
}

bool ParseScenarioToml(const std::string& text, Scenario& out, std::string& error, const std::string& where) {
    const std::string prefix = where.empty() ? "" : where + ": ";
    toml::table table;
    try {
        table = toml::parse(std::string_view(text));
    } catch (const toml::parse_error& e) {
        std::ostringstream msg;
        msg << prefix << "line " << e.source().begin.line << ": " << e.description();
        error = msg.str();
        return false;
    }
    if (!table.contains("format")) {
        error = prefix + "no format key (a scenario file starts with format = " + std::to_string(kScenarioFormat) +
                ")";
        return false;
    }
    std::vector<std::pair<std::string, ScenarioValue>> values;
    // The format first, so a newer file is refused for what it is.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& [key, node] : table) {
            const std::string name(key.str());
            if ((name == "format") != (pass == 0)) continue;
            bool ok = true;
            std::string what;
            ScenarioValue v = fromNode(node, ok, what);
            if (!ok) {
                error = prefix + name + " is " + what + ": not a value a scenario key takes";
                return false;
            }
            values.emplace_back(name, std::move(v));
        }
    }
    Scenario s;
    if (!ApplyScenarioValues(values, s, error, where)) return false;
    out = std::move(s);
    return true;
}

bool ReadScenarioFile(const std::string& path, Scenario& out, std::string& error) {
    std::string bytes;
    if (!ReadBoundedFile(path, kMaxScenarioFileBytes, bytes, error)) return false;
    return ParseScenarioToml(bytes, out, error, FileBaseName(path));
}

bool WriteScenarioFile(const std::string& path, const Scenario& scenario, std::string& error) {
    return WriteFileSafely(path, ScenarioToml(scenario), error);
}

std::string PngWithScenario(const std::string& png, const std::string& scenarioToml) {
    if (!isPng(png) || png.size() < 8 + 12) return png;
    // The first chunk is the header; the text goes right after it.
    const size_t headerEnd = 8 + 12 + getBigEndian(png, 8);
    if (headerEnd > png.size()) return png;
    std::string body = "iTXt";
    body += kScenarioTag;
    body += '\0';
    body += '\0';  // not compressed
    body += '\0';  // compression method
    body += '\0';  // no language tag
    body += '\0';  // no translated keyword
    body += scenarioToml;
    std::string chunk;
    putBigEndian(chunk, static_cast<std::uint32_t>(body.size() - 4));
    chunk += body;
    putBigEndian(chunk, crc32(body));
    return png.substr(0, headerEnd) + chunk + png.substr(headerEnd);
}

std::string SvgScenarioMetadata(const std::string& scenarioToml) {
    if (scenarioToml.empty()) return "";
    return std::string("<metadata id=\"") + kScenarioTag + "\">\n" + xmlEscaped(scenarioToml) + "</metadata>\n";
}

std::string SidecarScenarioBlock(const std::string& scenarioToml) {
    if (scenarioToml.empty()) return "";
    std::string out = std::string("# ") + kScenarioTag + ": the scenario that grew this shell, as a scenario file\n";
    std::istringstream lines(scenarioToml);
    std::string line;
    while (std::getline(lines, line)) out += line.empty() ? "#\n" : "# " + line + "\n";
    return out;
}

bool ScenarioTextFromBytes(const std::string& bytes, std::string& text, std::string& error) {
    if (isPng(bytes)) {
        for (size_t pos = 8; pos + 12 <= bytes.size();) {
            const size_t length = getBigEndian(bytes, pos);
            if (length > bytes.size() - pos - 12) break;
            const std::string kind = bytes.substr(pos + 4, 4);
            const std::string data = bytes.substr(pos + 8, length);
            pos += 12 + length;
            if (kind != "iTXt" && kind != "tEXt") continue;
            const size_t nul = data.find('\0');
            if (nul == std::string::npos || data.compare(0, nul, kScenarioTag) != 0) continue;
            if (kind == "tEXt") {
                text = data.substr(nul + 1);
                return true;
            }
            // keyword \0 flag method language \0 translated \0 text
            if (nul + 3 > data.size() || data[nul + 1] != '\0') {
                error = "the picture's scenario is compressed, which this program does not read";
                return false;
            }
            const size_t lang = data.find('\0', nul + 3);
            const size_t translated = lang == std::string::npos ? lang : data.find('\0', lang + 1);
            if (translated == std::string::npos) break;
            text = data.substr(translated + 1);
            return true;
        }
        error = "the picture carries no scenario";
        return false;
    }
    const std::string open = std::string("<metadata id=\"") + kScenarioTag + "\">";
    if (const size_t at = bytes.find(open); at != std::string::npos) {
        const size_t begin = at + open.size() + (bytes.compare(at + open.size(), 1, "\n") == 0 ? 1 : 0);
        const size_t end = bytes.find("</metadata>", begin);
        if (end == std::string::npos) {
            error = "the picture's scenario is cut off";
            return false;
        }
        text = xmlUnescaped(bytes.substr(begin, end - begin));
        return true;
    }
    const std::string heading = std::string("# ") + kScenarioTag + ":";
    size_t at = bytes.rfind("\n" + heading);
    if (at != std::string::npos) ++at;
    else if (bytes.compare(0, heading.size(), heading) == 0) at = 0;
    if (at != std::string::npos) {
        std::istringstream lines(bytes.substr(at));
        std::string line;
        std::getline(lines, line);  // the heading
        text.clear();
        while (std::getline(lines, line)) {
            if (line == "#") text += "\n";
            else if (line.rfind("# ", 0) == 0) text += line.substr(2) + "\n";
            else break;
        }
        return true;
    }
    if (bytes.find("<svg") != std::string::npos) {
        error = "the picture carries no scenario";
        return false;
    }
    text = bytes;
    return true;
}

bool ReadScenarioFrom(const std::string& path, Scenario& out, std::string& error) {
    std::string bytes, text;
    if (!ReadBoundedFile(path, kMaxCarrierBytes, bytes, error)) return false;
    if (!ScenarioTextFromBytes(bytes, text, error)) {
        error = FileBaseName(path) + ": " + error;
        return false;
    }
    return ParseScenarioToml(text, out, error, FileBaseName(path));
}

}  // namespace ammonite
