// A small reader of the mesh files the export writes (binary STL, binary
// little-endian PLY, OBJ), independent of the writers, and the checks run on
// what it reads: closedness, orientation, degenerate triangles, volume.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <climits>
#include <map>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace meshread {

struct Mesh {
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<std::uint32_t, 3>> faces;
    std::vector<std::array<float, 3>> normals;  // STL only, one per face
    std::string header;                         // STL header, PLY comment
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::uint32_t le32(const std::string& b, size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
inline float leFloat(const std::string& b, size_t at) {
    const std::uint32_t bits = le32(b, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Binary STL: 80-byte header, count, 50 bytes per triangle; the file size
// must match the count. Equal corner coordinates are welded into one vertex.
inline bool ReadStl(const std::string& path, Mesh& mesh, std::string& error) {
    const std::string b = readAll(path);
    if (b.size() < 84) return error = "STL shorter than its header", false;
    mesh = Mesh{};
    mesh.header = b.substr(0, 80);
    const std::uint32_t n = le32(b, 80);
    if (b.size() != 84 + 50ull * n)
        return error = "STL size " + std::to_string(b.size()) + " does not match " + std::to_string(n) + " triangles",
               false;
    // Corners sorted by their coordinate bits; equal bits share a vertex,
    // numbered in the order of first appearance.
    std::vector<std::pair<std::array<std::uint32_t, 3>, std::uint32_t>> corners;
    corners.reserve(3ull * n);
    for (std::uint32_t t = 0; t < n; ++t) {
        const size_t at = 84 + 50ull * t;
        mesh.normals.push_back({leFloat(b, at), leFloat(b, at + 4), leFloat(b, at + 8)});
        for (std::uint32_t c = 0; c < 3; ++c) {
            const size_t p = at + 12 + 12 * c;
            corners.push_back({{le32(b, p), le32(b, p + 4), le32(b, p + 8)}, 3 * t + c});
        }
        if (b[at + 48] != 0 || b[at + 49] != 0) return error = "STL attribute bytes not zero", false;
    }
    std::sort(corners.begin(), corners.end());
    std::vector<std::uint32_t> groupOfCorner(corners.size());
    std::uint32_t groups = 0;
    for (size_t i = 0; i < corners.size(); ++i) {
        if (i > 0 && corners[i].first != corners[i - 1].first) ++groups;
        groupOfCorner[corners[i].second] = groups;
    }
    std::vector<std::uint32_t> number(corners.size(), UINT32_MAX), cornerVertex(corners.size());
    for (std::uint32_t c = 0; c < corners.size(); ++c) {
        std::uint32_t& v = number[groupOfCorner[c]];
        if (v == UINT32_MAX) {
            v = static_cast<std::uint32_t>(mesh.vertices.size());
            const size_t p = 84 + 50ull * (c / 3) + 12 + 12 * (c % 3);
            mesh.vertices.push_back({leFloat(b, p), leFloat(b, p + 4), leFloat(b, p + 8)});
        }
        cornerVertex[c] = v;
    }
    for (std::uint32_t t = 0; t < n; ++t) mesh.faces.push_back({cornerVertex[3 * t], cornerVertex[3 * t + 1], cornerVertex[3 * t + 2]});
    return true;
}

// Binary little-endian PLY with float x y z and uchar/int face lists; the
// body must be exactly as long as the header's counts say.
inline bool ReadPly(const std::string& path, Mesh& mesh, std::string& error) {
    const std::string b = readAll(path);
    const size_t end = b.find("end_header\n");
    if (b.rfind("ply\n", 0) != 0 || end == std::string::npos) return error = "not a PLY file", false;
    mesh = Mesh{};
    std::istringstream header(b.substr(0, end));
    std::string line;
    long vertices = -1, faces = -1;
    std::vector<std::string> lines;
    while (std::getline(header, line)) {
        lines.push_back(line);
        std::istringstream w(line);
        std::string key, what;
        long count = 0;
        w >> key;
        if (key == "comment") mesh.header = line.substr(8);
        if (key == "element" && (w >> what >> count)) (what == "vertex" ? vertices : faces) = count;
    }
    const std::vector<std::string> expected{"ply",
                                            "format binary_little_endian 1.0",
                                            "comment " + mesh.header,
                                            "element vertex " + std::to_string(vertices),
                                            "property float x",
                                            "property float y",
                                            "property float z",
                                            "element face " + std::to_string(faces),
                                            "property list uchar int vertex_indices"};
    if (lines != expected) return error = "unexpected PLY header", false;
    size_t at = end + 11;
    if (b.size() != at + 12ull * vertices + 13ull * faces) return error = "PLY size does not match its counts", false;
    for (long v = 0; v < vertices; ++v, at += 12) mesh.vertices.push_back({leFloat(b, at), leFloat(b, at + 4), leFloat(b, at + 8)});
    for (long f = 0; f < faces; ++f, at += 13) {
        if (b[at] != 3) return error = "PLY face that is not a triangle", false;
        std::array<std::uint32_t, 3> face{le32(b, at + 1), le32(b, at + 5), le32(b, at + 9)};
        for (std::uint32_t i : face)
            if (i >= mesh.vertices.size()) return error = "PLY index out of range", false;
        mesh.faces.push_back(face);
    }
    return true;
}

// OBJ: `o`/`g` groups, `v` lines and triangle `f` lines with one-based
// indices shared by the whole file. Each group gets the vertices its faces use,
// renumbered from 0.
inline bool ReadObj(const std::string& path, std::map<std::string, Mesh>& groups, std::vector<std::string>& order,
                    std::string& error) {
    std::ifstream in(path);
    std::string line, current;
    std::vector<std::array<float, 3>> all;
    std::map<std::string, std::vector<std::array<std::uint32_t, 3>>> faces;
    groups.clear();
    order.clear();
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream w(line);
        w.imbue(std::locale::classic());
        std::string key;
        w >> key;
        if (key == "o") {
            w >> current;
            order.push_back(current);
        } else if (key == "g") {
            std::string g;
            w >> g;
            if (g != current) return error = "group " + g + " differs from object " + current, false;
        } else if (key == "v") {
            std::array<float, 3> v{};
            if (!(w >> v[0] >> v[1] >> v[2])) return error = "bad vertex line: " + line, false;
            std::string rest;
            if (w >> rest) return error = "extra text on vertex line: " + line, false;
            all.push_back(v);
        } else if (key == "f") {
            std::array<std::uint32_t, 3> f{};
            long i[3];
            if (!(w >> i[0] >> i[1] >> i[2])) return error = "bad face line: " + line, false;
            for (int c = 0; c < 3; ++c) {
                if (i[c] < 1) return error = "index below 1", false;
                f[c] = static_cast<std::uint32_t>(i[c] - 1);
            }
            faces[current].push_back(f);
        } else {
            return error = "unexpected line: " + line, false;
        }
    }
    // A group's vertices are those its faces use, in the file's order.
    for (auto& [name, list] : faces) {
        Mesh& m = groups[name];
        std::vector<std::uint32_t> used;
        for (const auto& f : list)
            for (std::uint32_t i : f) {
                if (i >= all.size()) return error = "OBJ index out of range", false;
                used.push_back(i);
            }
        std::sort(used.begin(), used.end());
        used.erase(std::unique(used.begin(), used.end()), used.end());
        std::unordered_map<std::uint32_t, std::uint32_t> local;
        for (std::uint32_t i : used) {
            local.emplace(i, static_cast<std::uint32_t>(m.vertices.size()));
            m.vertices.push_back(all[i]);
        }
        for (const auto& f : list) m.faces.push_back({local[f[0]], local[f[1]], local[f[2]]});
    }
    return true;
}

struct Topology {
    bool closed = false;            // every undirected edge in exactly two triangles
    bool oriented = false;          // every directed edge once
    size_t degenerate = 0;          // triangles with a repeated index or zero area
    size_t unusedVertices = 0;
};

inline Topology CheckTopology(const Mesh& m) {
    Topology t;
    auto key = [](std::uint32_t a, std::uint32_t b) { return (static_cast<std::uint64_t>(a) << 32) | b; };
    std::vector<std::uint64_t> directed, undirected;
    directed.reserve(3 * m.faces.size());
    undirected.reserve(3 * m.faces.size());
    std::vector<bool> used(m.vertices.size(), false);
    for (const auto& f : m.faces) {
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t a = f[c], b = f[(c + 1) % 3];
            used[a] = true;
            directed.push_back(key(a, b));
            undirected.push_back(key(std::min(a, b), std::max(a, b)));
        }
        const auto &p = m.vertices[f[0]], &q = m.vertices[f[1]], &r = m.vertices[f[2]];
        const double ux = double(q[0]) - p[0], uy = double(q[1]) - p[1], uz = double(q[2]) - p[2];
        const double vx = double(r[0]) - p[0], vy = double(r[1]) - p[1], vz = double(r[2]) - p[2];
        const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        if (f[0] == f[1] || f[1] == f[2] || f[0] == f[2] || nx * nx + ny * ny + nz * nz == 0) ++t.degenerate;
    }
    std::sort(directed.begin(), directed.end());
    std::sort(undirected.begin(), undirected.end());
    t.oriented = !m.faces.empty() && std::adjacent_find(directed.begin(), directed.end()) == directed.end();
    // Sorted, every undirected edge must come exactly twice: pairs of equal keys.
    t.closed = !m.faces.empty() && undirected.size() % 2 == 0;
    for (size_t i = 0; t.closed && i < undirected.size(); i += 2)
        if (undirected[i] != undirected[i + 1] || (i + 2 < undirected.size() && undirected[i + 2] == undirected[i]))
            t.closed = false;
    for (bool u : used) t.unusedVertices += u ? 0 : 1;
    return t;
}

// Signed volume by the divergence theorem (positive for outward normals).
inline double Volume(const Mesh& m) {
    double sum = 0;
    for (const auto& f : m.faces) {
        const auto &a = m.vertices[f[0]], &b = m.vertices[f[1]], &c = m.vertices[f[2]];
        sum += double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) +
               double(a[1]) * (double(b[2]) * c[0] - double(b[0]) * c[2]) +
               double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0]);
    }
    return sum / 6;
}

}  // namespace meshread
