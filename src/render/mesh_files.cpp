#include "render/mesh_files.h"

#include "model/scenario_file.h"

#include "core/safe_file.h"
#include "core/version.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <locale>
#include <memory>
#include <new>
#include <sstream>

namespace ammonite {

namespace {

// A file written through the safe writer, in little-endian byte order
// whatever the machine's. Nothing appears under the final name before
// publish(); the first failure is kept and reported.
class FileOut {
public:
    explicit FileOut(const std::string& path, SafeFileWriter::Special special = SafeFileWriter::Special::WriteThrough)
        : file_(path, special) {}

    bool open() { return file_.open(); }
    // Small pieces gather here, so the checksum and the writer take them in blocks.
    void bytes(const void* data, size_t size) {
        if (pending_.size() + size > kBlock) flush();
        pending_.append(static_cast<const char*>(data), size);
    }
    void text(const std::string& s) { bytes(s.data(), s.size()); }
    void u8(std::uint8_t v) { bytes(&v, 1); }
    void u16(std::uint16_t v) {
        const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
        bytes(b, 2);
    }
    void u32(std::uint32_t v) {
        const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        bytes(b, 4);
    }
    void f32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    // A float in the shortest text that reads back to the same value, with a
    // '.' whatever the C locale.
    void number(float v) {
        char s[32];
        const auto r = std::to_chars(s, s + sizeof s, v);
        bytes(s, static_cast<size_t>(r.ptr - s));
    }
    void number(std::uint32_t v) {
        char s[16];
        const auto r = std::to_chars(s, s + sizeof s, v);
        bytes(s, static_cast<size_t>(r.ptr - s));
    }
    void ch(char c) { bytes(&c, 1); }

    bool finish() {
        flush();
        return file_.finish();
    }
    bool publish() { return file_.publish(); }
    const std::string& error() const { return file_.error(); }
    SafeFileWriter& writer() { return file_; }
    MeshFileCheck check() const { return {size_, PosixCksumFinish(crc_, size_)}; }

private:
    static constexpr size_t kBlock = 1 << 16;
    void flush() {
        crc_ = PosixCksumUpdate(crc_, pending_.data(), pending_.size());
        size_ += pending_.size();
        file_.write(pending_.data(), pending_.size());
        pending_.clear();
    }

    SafeFileWriter file_;
    std::string pending_;
    std::uint32_t crc_ = 0;
    std::uint64_t size_ = 0;
};

// The CRC of `cksum`: polynomial 0x04C11DB7, most significant bit first.
// entry[0] takes one byte; entry[k] a byte followed by k zero bytes, so that
// eight bytes are taken at once.
struct CksumTable {
    std::uint32_t entry[8][256];
    CksumTable() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i << 24;
            for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
            entry[0][i] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (std::uint32_t i = 0; i < 256; ++i)
                entry[k][i] = (entry[k - 1][i] << 8) ^ entry[0][entry[k - 1][i] >> 24];
    }
};
const CksumTable kCksumTable;

bool fail(std::string& error, const std::string& message) {
    error = message;
    return false;
}

// Opens, lets `body` write, and puts the file in place; the error names the file.
bool writeFile(const std::string& path, const std::function<void(FileOut&)>& body, std::string& error) {
    FileOut out(path);
    if (!out.open()) return fail(error, out.error());
    body(out);
    if (!out.finish() || !out.publish()) return fail(error, out.error());
    return true;
}

std::array<float, 3> unitNormal(const std::array<float, 3>& a, const std::array<float, 3>& b,
                                const std::array<float, 3>& c) {
    const double ux = double(b[0]) - a[0], uy = double(b[1]) - a[1], uz = double(b[2]) - a[2];
    const double vx = double(c[0]) - a[0], vy = double(c[1]) - a[1], vz = double(c[2]) - a[2];
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(len > 0)) return {0, 0, 0};
    return {static_cast<float>(nx / len), static_cast<float>(ny / len), static_cast<float>(nz / len)};
}

void stlBody(FileOut& out, const std::string& name, const MeshObject& object) {
    char header[80];
    std::memset(header, ' ', sizeof header);
    const std::string title = "ammonite shell: " + name + ", unit mm";
    std::memcpy(header, title.data(), std::min(title.size(), sizeof header));
    out.bytes(header, sizeof header);
    out.u32(static_cast<std::uint32_t>(object.triangles.size()));
    for (const auto& t : object.triangles) {
        const auto& a = object.vertices[t[0]];
        const auto& b = object.vertices[t[1]];
        const auto& c = object.vertices[t[2]];
        for (float v : unitNormal(a, b, c)) out.f32(v);
        for (const auto* p : {&a, &b, &c})
            for (float v : *p) out.f32(v);
        out.u16(0);
    }
}

void plyBody(FileOut& out, const std::string& name, const MeshObject& object) {
    std::ostringstream h;
    h.imbue(std::locale::classic());  // no digit grouping whatever the global locale
    h << "ply\nformat binary_little_endian 1.0\ncomment ammonite shell: " << name << ", unit mm\n"
      << "element vertex " << object.vertices.size() << "\nproperty float x\nproperty float y\nproperty float z\n"
      << "element face " << object.triangles.size() << "\nproperty list uchar int vertex_indices\nend_header\n";
    out.text(h.str());
    for (const auto& v : object.vertices)
        for (float c : v) out.f32(c);
    for (const auto& t : object.triangles) {
        out.u8(3);
        for (std::uint32_t i : t) out.u32(i);
    }
}

void objGroup(FileOut& out, const char* name, const MeshObject& object, std::uint32_t firstIndex) {
    if (object.empty()) return;
    out.text(std::string("o ") + name + "\ng " + name + "\n");
    for (const auto& v : object.vertices) {
        out.ch('v');
        for (float c : v) {
            out.ch(' ');
            out.number(c);
        }
        out.ch('\n');
    }
    for (const auto& t : object.triangles) {
        out.ch('f');
        for (std::uint32_t i : t) {
            out.ch(' ');
            out.number(firstIndex + i);
        }
        out.ch('\n');
    }
}

void objBody(FileOut& out, const ShellMesh& mesh) {
    out.text("# ammonite shell, unit mm\n");
    objGroup(out, "phragmocone", mesh.phragmocone, 1);
    objGroup(out, "body_chamber", mesh.bodyChamber,
             1 + static_cast<std::uint32_t>(mesh.phragmocone.empty() ? 0 : mesh.phragmocone.vertices.size()));
}

// Whether the chosen path names a place in a folder where the set's files
// can go: not `-`, a descriptor, a device, a FIFO or a socket.
bool MeshTargetIsAFolderPlace(const std::string& path) {
    if (DescriptorNamed(path) >= 0) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true;  // a new name, or a fault the writer reports
    return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A number with up to 12 significant digits and a '.', whatever the locale.
std::string num(double v) {
    if (v == 0) v = 0;  // never "-0"
    char s[64];
    const auto r = std::to_chars(s, s + sizeof s, v, std::chars_format::general, 12);
    return std::string(s, r.ptr);
}

}  // namespace

std::uint32_t PosixCksumUpdate(std::uint32_t crc, const void* bytes, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    const auto& t = kCksumTable.entry;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint32_t c = crc ^ (std::uint32_t(p[i]) << 24 | std::uint32_t(p[i + 1]) << 16 |
                                       std::uint32_t(p[i + 2]) << 8 | std::uint32_t(p[i + 3]));
        crc = t[7][c >> 24] ^ t[6][(c >> 16) & 0xFF] ^ t[5][(c >> 8) & 0xFF] ^ t[4][c & 0xFF] ^ t[3][p[i + 4]] ^
              t[2][p[i + 5]] ^ t[1][p[i + 6]] ^ t[0][p[i + 7]];
    }
    for (; i < size; ++i) crc = (crc << 8) ^ t[0][((crc >> 24) ^ p[i]) & 0xFF];
    return crc;
}

std::uint32_t PosixCksumFinish(std::uint32_t crc, std::uint64_t length) {
    for (; length != 0; length >>= 8) {
        const unsigned char b = static_cast<unsigned char>(length & 0xFF);
        crc = PosixCksumUpdate(crc, &b, 1);
    }
    return ~crc;
}

const char* MeshFormatExtension(MeshFormat format) {
    switch (format) {
        case MeshFormat::Stl: return "stl";
        case MeshFormat::Ply: return "ply";
        case MeshFormat::Obj: return "obj";
    }
    return "";
}

MeshFilePaths MeshFilePathsFor(MeshFormat format, const std::string& path) {
    const std::string ext = std::string(".") + MeshFormatExtension(format);
    std::string base = path;
    const size_t slash = path.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (path.size() >= nameStart + ext.size()) {
        std::string tail = path.substr(path.size() - ext.size());
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (tail == ext) base = path.substr(0, path.size() - ext.size());
    }
    MeshFilePaths p;
    if (format == MeshFormat::Obj) {
        // The chosen name as it is when it has the extension (in any case).
        p.phragmocone = p.bodyChamber = base.size() == path.size() ? path + ext : path;
    } else {
        p.phragmocone = base + "_phragmocone" + ext;
        p.bodyChamber = base + "_body_chamber" + ext;
    }
    p.volumes = base + "_volumes.txt";
    return p;
}

bool WriteMeshStl(const std::string& path, const std::string& name, const MeshObject& object, std::string& error) {
    return writeFile(path, [&](FileOut& out) { stlBody(out, name, object); }, error);
}

bool WriteMeshPly(const std::string& path, const std::string& name, const MeshObject& object, std::string& error) {
    return writeFile(path, [&](FileOut& out) { plyBody(out, name, object); }, error);
}

bool WriteMeshObj(const std::string& path, const ShellMesh& mesh, std::string& error) {
    return writeFile(path, [&](FileOut& out) { objBody(out, mesh); }, error);
}

std::string MeshVolumesText(MeshFormat format, const MeshFilePaths& files, const ShellMesh& mesh,
                            const ModelState& model, const RunState& run, const MeshFileChecks& checks) {
    const double airMm3 = MeshVolume(mesh.phragmocone), bodyMm3 = MeshVolume(mesh.bodyChamber);
    const double unit3 = mesh.mmPerUnit * mesh.mmPerUnit * mesh.mmPerUnit;
    const double d0 = model.densities[0], d1 = model.densities[1];
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s << "format=" << MeshFormatExtension(format) << '\n';
    s << "phragmocone=" << (mesh.phragmocone.empty() ? "empty" : "written") << '\n';
    auto sizeAndSum = [&s](const char* key, const std::optional<MeshFileCheck>& check) {
        if (!check) return;
        s << key << "_file_bytes=" << check->bytes << '\n';
        s << key << "_file_cksum=" << check->cksum << '\n';
    };
    if (!mesh.phragmocone.empty()) {
        s << "phragmocone_file=" << fileName(files.phragmocone) << '\n';
        sizeAndSum("phragmocone", checks.phragmocone);
    }
    s << "body_chamber=" << (mesh.bodyChamber.empty() ? "empty" : "written") << '\n';
    if (!mesh.bodyChamber.empty()) {
        s << "body_chamber_file=" << fileName(files.bodyChamber) << '\n';
        sizeAndSum("body_chamber", checks.bodyChamber);
    }
    s << "unit=mm\n";
    s << "mm_per_unit=" << num(mesh.mmPerUnit) << '\n';
    s << "ribbing=" << (mesh.ribbing ? "on" : "off") << '\n';
    s << "first_stage=1\n";
    s << "last_stage=" << mesh.lastStage << '\n';
    s << "rings=1.." << mesh.lastStage + 1 << '\n';
    s << "ring_points=" << mesh.ringPoints << '\n';
    // A body chamber longer than the tube starts at the first ring.
    const bool wholeTube = mesh.bodyStartRing < 1;
    s << "body_chamber_start_stage=" << (wholeTube ? 0 : run.bodyStartStage) << '\n';
    s << "body_chamber_start_fraction=" << num(wholeTube ? 0 : run.bodyStartFraction) << '\n';
    s << "body_chamber_start_ring=" << num(wholeTube ? 1 : mesh.bodyStartRing) << '\n';
    s << "phragmocone_triangles=" << mesh.phragmocone.triangles.size() << '\n';
    s << "body_chamber_triangles=" << mesh.bodyChamber.triangles.size() << '\n';
    s << "phragmocone_volume_mm3=" << num(airMm3) << '\n';
    s << "body_chamber_volume_mm3=" << num(bodyMm3) << '\n';
    s << "mesh_volume_mm3=" << num(airMm3 + bodyMm3) << '\n';
    s << "run_air_volume_mm3=" << num(run.airVolume * unit3) << '\n';
    s << "run_body_volume_mm3=" << num(run.bodyVolume * unit3) << '\n';
    s << "run_total_volume_mm3=" << num(run.totalVolume * unit3) << '\n';
    s << "density_air_chamber_g_cm3=" << num(d0) << '\n';
    s << "density_body_chamber_g_cm3=" << num(d1) << '\n';
    s << "mass_g=" << num((airMm3 * d0 + bodyMm3 * d1) / 1000) << '\n';
    s << "run_mass_g=" << num((run.airVolume * d0 + run.bodyVolume * d1) * unit3 / 1000) << '\n';
    s << "generator=" << kGenerator << '\n';
    return s.str();
}

bool ExportShellMesh(MeshFormat format, const std::string& path, const ModelState& model, const RunState& run,
                     const MeshOptions& options, std::vector<std::string>& written, std::string& error,
                     const std::string& scenarioToml) {
    written.clear();
    try {
        if (format != MeshFormat::Stl && format != MeshFormat::Ply && format != MeshFormat::Obj)
            return fail(error, "Bad mesh option: unknown file format");
        if (path.empty() || path.back() == '/' || path.back() == '\\')
            return fail(error, "Bad mesh option: no file name given");
        if (!MeshTargetIsAFolderPlace(path))
            return fail(error, "Cannot export a mesh to " + (path == "-" ? std::string("standard output ('-')") : path) +
                                   ": a mesh is a set of files and needs a folder to go in, not a device, a FIFO or "
                                   "standard output");
        ShellMesh mesh;
        if (!BuildShellMesh(model, run, options, mesh, error)) return false;
        const MeshFilePaths files = MeshFilePathsFor(format, path);

        struct Job {
            std::string finalPath;
            std::function<void(FileOut&)> body;
            std::optional<MeshFileCheck>* check;  // where its size and checksum go
        };
        MeshFileChecks checks;
        std::vector<Job> jobs;
        if (format == MeshFormat::Obj) {
            jobs.push_back({files.phragmocone, [&](FileOut& out) { objBody(out, mesh); }, &checks.phragmocone});
        } else {
            const bool stl = format == MeshFormat::Stl;
            auto object = [&](const std::string& p, const char* name, const MeshObject& o,
                              std::optional<MeshFileCheck>* check) {
                if (o.empty()) return;
                jobs.push_back({p,
                                [stl, name, &o](FileOut& out) {
                                    if (stl)
                                        stlBody(out, name, o);
                                    else
                                        plyBody(out, name, o);
                                },
                                check});
            };
            object(files.phragmocone, "phragmocone", mesh.phragmocone, &checks.phragmocone);
            object(files.bodyChamber, "body_chamber", mesh.bodyChamber, &checks.bodyChamber);
        }

        // Every file checked and written in full under a temporary name first,
        // the sidecar last with what the meshes came to ...
        std::vector<std::unique_ptr<FileOut>> outs;
        auto writeOne = [&](const std::string& finalPath, const std::function<void(FileOut&)>& body) {
            outs.push_back(std::make_unique<FileOut>(finalPath, SafeFileWriter::Special::Refuse));
            FileOut& out = *outs.back();
            if (!out.open()) return fail(error, out.error());
            body(out);
            if (!out.finish()) return fail(error, out.error());
            return true;
        };
        for (const Job& job : jobs) {
            if (!writeOne(job.finalPath, job.body)) return false;
            if (format == MeshFormat::Obj) {
                if (!mesh.phragmocone.empty()) checks.phragmocone = outs.back()->check();
                if (!mesh.bodyChamber.empty()) checks.bodyChamber = outs.back()->check();
            } else {
                *job.check = outs.back()->check();
            }
        }
        const std::string volumes =
            MeshVolumesText(format, files, mesh, model, run, checks) + SidecarScenarioBlock(scenarioToml);
        if (!writeOne(files.volumes, [&volumes](FileOut& out) { out.text(volumes); })) return false;

        // ... then into place together.
        std::vector<SafeFileWriter*> writers;
        for (auto& out : outs) writers.push_back(&out->writer());
        std::string why;
        std::size_t published = 0;
        const bool ok = SafeFileWriter::PublishTogether(writers, why, &published);
        for (size_t i = 0; i < published; ++i) written.push_back(i < jobs.size() ? jobs[i].finalPath : files.volumes);
        if (!ok) return fail(error, why);
        return true;
    } catch (const std::bad_alloc&) {
        return fail(error, "Cannot export: not enough memory");
    } catch (const std::exception& e) {
        return fail(error, std::string("Cannot export: ") + e.what());
    } catch (...) {
        return fail(error, "Cannot export: unexpected error");
    }
}

}  // namespace ammonite
