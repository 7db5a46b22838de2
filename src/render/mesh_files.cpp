#include "render/mesh_files.h"

#include "model/scenario_file.h"

#include "core/safe_file.h"
#include "core/version.h"

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
    explicit FileOut(const std::string& path) : file_(path) {}

    bool open() { return file_.open(); }
    void bytes(const void* data, size_t size) { file_.write(static_cast<const char*>(data), size); }
    void text(const std::string& s) { file_.write(s); }
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

    bool finish() { return file_.finish(); }
    bool publish() { return file_.publish(); }
    const std::string& error() const { return file_.error(); }

private:
    SafeFileWriter file_;
};

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
                            const ModelState& model, const RunState& run) {
    const double airMm3 = MeshVolume(mesh.phragmocone), bodyMm3 = MeshVolume(mesh.bodyChamber);
    const double unit3 = mesh.mmPerUnit * mesh.mmPerUnit * mesh.mmPerUnit;
    const double d0 = model.densities[0], d1 = model.densities[1];
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s << "format=" << MeshFormatExtension(format) << '\n';
    s << "phragmocone=" << (mesh.phragmocone.empty() ? "empty" : "written") << '\n';
    if (!mesh.phragmocone.empty()) s << "phragmocone_file=" << fileName(files.phragmocone) << '\n';
    s << "body_chamber=" << (mesh.bodyChamber.empty() ? "empty" : "written") << '\n';
    if (!mesh.bodyChamber.empty()) s << "body_chamber_file=" << fileName(files.bodyChamber) << '\n';
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
        ShellMesh mesh;
        if (!BuildShellMesh(model, run, options, mesh, error)) return false;
        const MeshFilePaths files = MeshFilePathsFor(format, path);

        struct Job {
            std::string finalPath;
            std::function<void(FileOut&)> body;
        };
        std::vector<Job> jobs;
        if (format == MeshFormat::Obj) {
            jobs.push_back({files.phragmocone, [&](FileOut& out) { objBody(out, mesh); }});
        } else {
            const bool stl = format == MeshFormat::Stl;
            auto object = [&](const std::string& p, const char* name, const MeshObject& o) {
                if (o.empty()) return;
                jobs.push_back({p, [stl, name, &o](FileOut& out) {
                                    if (stl)
                                        stlBody(out, name, o);
                                    else
                                        plyBody(out, name, o);
                                }});
            };
            object(files.phragmocone, "phragmocone", mesh.phragmocone);
            object(files.bodyChamber, "body_chamber", mesh.bodyChamber);
        }
        std::string volumes = MeshVolumesText(format, files, mesh, model, run);
        volumes += SidecarScenarioBlock(scenarioToml);
        jobs.push_back({files.volumes, [&volumes](FileOut& out) { out.text(volumes); }});

        // Every file checked and written in full under a temporary name first ...
        std::vector<std::unique_ptr<FileOut>> outs;
        for (const Job& job : jobs) {
            outs.push_back(std::make_unique<FileOut>(job.finalPath));
            FileOut& out = *outs.back();
            if (!out.open()) return fail(error, out.error());
            job.body(out);
            if (!out.finish()) return fail(error, out.error());
        }
        // ... then into place.
        for (size_t i = 0; i < jobs.size(); ++i) {
            if (!outs[i]->publish()) return fail(error, outs[i]->error());
            written.push_back(jobs[i].finalPath);
        }
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
