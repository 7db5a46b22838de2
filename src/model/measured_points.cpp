// The specimen file: a small CSV reader that refuses, row by row, what a fit
// cannot use, and never reads more than its bounds allow.
#include "model/measured_points.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>

namespace ammonite {

namespace {

const double kUnknown = std::numeric_limits<double>::quiet_NaN();

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
    std::string t = s.substr(a, b - a);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    return t;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string cur;
    for (char c : line) {
        if (c == ',') {
            fields.push_back(trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    fields.push_back(trim(cur));
    return fields;
}

std::string rowText(int row) { return "row " + std::to_string(row); }

// A whole field as a finite number; false for text, NaN or infinity.
bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool isTextLine(const std::string& line) {
    for (unsigned char c : line)
        if (c == 0 || (c < 0x20 && c != '\t' && c != '\r')) return false;
    return true;
}

enum Column { X, Y, Z, Radius, Mark };

}  // namespace

bool Specimen::hasRadii() const {
    return std::any_of(radii.begin(), radii.end(), [](double r) { return !std::isnan(r); });
}

double Specimen::length() const {
    double total = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        const Vec3& a = points[i - 1];
        const Vec3& b = points[i];
        total += std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
    }
    return total;
}

bool CheckSpecimen(const Specimen& s, std::string& error) {
    auto rowOf = [&](size_t i) { return i < s.rows.size() ? s.rows[i] : static_cast<int>(i) + 1; };
    const int n = static_cast<int>(s.points.size());
    if (n < kMinSpecimenPoints) {
        error = (n == 0 ? std::string("the specimen has no points")
                        : "the specimen has only " + std::to_string(n) + (n == 1 ? " point" : " points")) +
                " (last at " + (n == 0 ? std::string("row 1") : rowText(rowOf(static_cast<size_t>(n - 1)))) +
                "); a fit needs at least " + std::to_string(kMinSpecimenPoints);
        return false;
    }
    if (n > kMaxSpecimenPoints) {
        error = rowText(rowOf(kMaxSpecimenPoints)) + ": more than " + std::to_string(kMaxSpecimenPoints) +
                " points";
        return false;
    }
    for (size_t i = 0; i < s.points.size(); ++i) {
        const Vec3& p = s.points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            error = rowText(rowOf(i)) + ": a coordinate is not a finite number";
            return false;
        }
        const double r = i < s.radii.size() ? s.radii[i] : kUnknown;
        if (!std::isnan(r) && !(std::isfinite(r) && r > 0)) {
            error = rowText(rowOf(i)) + ": radius_mm must be a number above 0";
            return false;
        }
    }
    if (s.septumIndex >= 0 && s.apertureIndex >= 0 && s.septumIndex >= s.apertureIndex) {
        error = rowText(rowOf(static_cast<size_t>(s.septumIndex))) +
                ": the last septum must come before the aperture (" +
                rowText(rowOf(static_cast<size_t>(s.apertureIndex))) + ")";
        return false;
    }
    if (s.apertureIndex >= 0 && s.apertureIndex != n - 1) {
        error = rowText(rowOf(static_cast<size_t>(s.apertureIndex))) +
                ": the aperture must be the last point (points follow it)";
        return false;
    }
    double extent = 0;
    for (const Vec3& p : s.points) {
        const Vec3& a = s.points.front();
        extent = std::max(extent, std::fabs(p.x - a.x) + std::fabs(p.y - a.y) + std::fabs(p.z - a.z));
    }
    if (!(extent > 0)) {
        error = "all points of the specimen lie at one place (" + rowText(rowOf(0)) + " to " +
                rowText(rowOf(static_cast<size_t>(n - 1))) + ")";
        return false;
    }
    return true;
}

bool ParseSpecimen(const std::string& text, Specimen& out, std::string& error) {
    Specimen s;
    std::vector<Column> columns;
    bool haveHeader = false, haveX = false, haveY = false, haveZ = false;
    int row = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        ++row;
        if (end - pos > kMaxSpecimenLineBytes) {
            error = rowText(row) + ": the line is longer than " + std::to_string(kMaxSpecimenLineBytes) +
                    " characters (is this a specimen file?)";
            return false;
        }
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!isTextLine(line)) {
            error = rowText(row) + ": not a line of text (the file holds binary data)";
            return false;
        }
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#') continue;
        const std::vector<std::string> fields = splitFields(line);
        if (!haveHeader) {
            for (std::string f : fields) {
                // A byte-order mark is not part of the header.
                if (f.size() >= 3 && f.compare(0, 3, "\xEF\xBB\xBF") == 0) f = f.substr(3);
                std::transform(f.begin(), f.end(), f.begin(), [](unsigned char c) { return std::tolower(c); });
                Column c;
                if (f == "x_mm") c = X, haveX = true;
                else if (f == "y_mm") c = Y, haveY = true;
                else if (f == "z_mm") c = Z, haveZ = true;
                else if (f == "radius_mm") c = Radius;
                else if (f == "mark") c = Mark;
                else {
                    error = rowText(row) + ": unknown column \"" + f +
                            "\" (the header names x_mm, y_mm, z_mm, radius_mm and mark)";
                    return false;
                }
                if (std::find(columns.begin(), columns.end(), c) != columns.end()) {
                    error = rowText(row) + ": column \"" + f + "\" appears twice";
                    return false;
                }
                columns.push_back(c);
            }
            if (!haveX || !haveY) {
                error = rowText(row) + ": the header must name x_mm and y_mm";
                return false;
            }
            haveHeader = true;
            continue;
        }
        if (fields.size() != columns.size()) {
            error = rowText(row) + ": " + std::to_string(fields.size()) + " fields where the header has " +
                    std::to_string(columns.size());
            return false;
        }
        if (static_cast<int>(s.points.size()) >= kMaxSpecimenPoints) {
            error = rowText(row) + ": more than " + std::to_string(kMaxSpecimenPoints) + " points";
            return false;
        }
        Vec3 p;
        double radius = kUnknown;
        for (size_t k = 0; k < fields.size(); ++k) {
            const std::string& f = fields[k];
            double v = 0;
            switch (columns[k]) {
                case X: case Y: case Z: {
                    if (!parseNumber(f, v)) {
                        const char* name = columns[k] == X ? "x_mm" : columns[k] == Y ? "y_mm" : "z_mm";
                        error = rowText(row) + ": " + name + " is not a finite number (\"" + f + "\")";
                        return false;
                    }
                    (columns[k] == X ? p.x : columns[k] == Y ? p.y : p.z) = v;
                    break;
                }
                case Radius:
                    if (f.empty()) break;
                    if (!parseNumber(f, v) || !(v > 0)) {
                        error = rowText(row) + ": radius_mm must be a number above 0 (\"" + f + "\")";
                        return false;
                    }
                    radius = v;
                    break;
                case Mark: {
                    std::string m = f;
                    std::transform(m.begin(), m.end(), m.begin(), [](unsigned char c) { return std::tolower(c); });
                    const int index = static_cast<int>(s.points.size());
                    if (m.empty()) break;
                    if (m == "septum") {
                        if (s.septumIndex >= 0) {
                            error = rowText(row) + ": a second last septum (the first is at " +
                                    rowText(s.rows[static_cast<size_t>(s.septumIndex)]) + ")";
                            return false;
                        }
                        if (s.apertureIndex >= 0) {
                            error = rowText(row) + ": the last septum must come before the aperture (" +
                                    rowText(s.rows[static_cast<size_t>(s.apertureIndex)]) + ")";
                            return false;
                        }
                        s.septumIndex = index;
                    } else if (m == "aperture") {
                        if (s.apertureIndex >= 0) {
                            error = rowText(row) + ": a second aperture (the first is at " +
                                    rowText(s.rows[static_cast<size_t>(s.apertureIndex)]) + ")";
                            return false;
                        }
                        s.apertureIndex = index;
                    } else {
                        error = rowText(row) + ": mark \"" + f + "\" is neither septum nor aperture";
                        return false;
                    }
                    break;
                }
            }
        }
        if (s.apertureIndex >= 0 && s.apertureIndex < static_cast<int>(s.points.size())) {
            error = rowText(row) + ": a point after the aperture (" +
                    rowText(s.rows[static_cast<size_t>(s.apertureIndex)]) + ")";
            return false;
        }
        s.points.push_back(p);
        s.radii.push_back(radius);
        s.rows.push_back(row);
    }
    if (!haveHeader) {
        error = "the file is empty: no header and no points";
        return false;
    }
    if (haveZ) {
        s.planar = std::all_of(s.points.begin(), s.points.end(),
                               [&](const Vec3& p) { return p.z == s.points.front().z; });
    } else {
        s.planar = true;
    }
    if (!CheckSpecimen(s, error)) return false;
    out = std::move(s);
    return true;
}

bool ReadSpecimenFile(const std::string& path, Specimen& specimen, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = path + ": is a folder";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + ": is not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string bytes(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), kMaxSpecimenFileBytes), '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    const bool truncated = static_cast<unsigned long long>(st.st_size) > kMaxSpecimenFileBytes;
    std::string why;
    Specimen s;
    if (truncated) {
        // The rows within the bound are checked first: a file of too many
        // points is refused at the row past the limit, binary data where it
        // starts; otherwise the file is simply too large.
        const size_t lastLine = bytes.rfind('\n');
        bytes.resize(lastLine == std::string::npos ? 0 : lastLine + 1);
        if (!ParseSpecimen(bytes, s, why) && why.compare(0, 4, "row ") == 0 &&
            why.find("only") == std::string::npos) {
            error = path + ": " + why;
            return false;
        }
        error = path + ": is larger than " + std::to_string(kMaxSpecimenFileBytes >> 20) +
                " MiB (a specimen holds at most " + std::to_string(kMaxSpecimenPoints) + " points)";
        return false;
    }
    if (!ParseSpecimen(bytes, s, why)) {
        error = path + ": " + why;
        return false;
    }
    s.source = path;
    specimen = std::move(s);
    return true;
}

bool MakeSpecimen(const std::vector<double>& coordinates, int columns, const std::vector<double>& radii,
                  Specimen& specimen, std::string& error) {
    if (columns != 2 && columns != 3) {
        error = "points must have 2 or 3 columns, not " + std::to_string(columns);
        return false;
    }
    if (coordinates.size() % static_cast<size_t>(columns) != 0) {
        error = "the point array is not a whole number of rows";
        return false;
    }
    const size_t n = coordinates.size() / static_cast<size_t>(columns);
    if (!radii.empty() && radii.size() != n) {
        error = "there are " + std::to_string(radii.size()) + " radii for " + std::to_string(n) + " points";
        return false;
    }
    if (n > static_cast<size_t>(kMaxSpecimenPoints)) {
        error = rowText(kMaxSpecimenPoints + 1) + ": more than " + std::to_string(kMaxSpecimenPoints) + " points";
        return false;
    }
    Specimen s;
    for (size_t i = 0; i < n; ++i) {
        const double* c = &coordinates[i * static_cast<size_t>(columns)];
        s.points.push_back({c[0], c[1], columns == 3 ? c[2] : 0.0});
        s.radii.push_back(radii.empty() ? kUnknown : radii[i]);
        s.rows.push_back(static_cast<int>(i) + 1);
    }
    s.planar = columns == 2 || std::all_of(s.points.begin(), s.points.end(), [&](const Vec3& p) {
                   return p.z == s.points.front().z;
               });
    if (!CheckSpecimen(s, error)) return false;
    specimen = std::move(s);
    return true;
}

}  // namespace ammonite
