#include "render/mesh_view.h"

#include <algorithm>
#include <cmath>

namespace ammonite {

namespace {

using namespace vec3;

Vec3 unit(const Vec3& a) {
    const double n = norm(a);
    return n > 0 ? scaled(a, 1 / n) : a;
}

// Model point → camera coordinates (x right, y up, z toward the eye): c = M·p + o.
struct CameraTransform {
    double m[3][3];
    Vec3 o;
    double focal = 1;  // pixels per unit of x/depth
    double cx = 0, cy = 0;
    // World (the scene's frame) → camera, for things placed in the world.
    double worldRows[3][3];
    Vec3 eye;  // world coordinates

    Vec3 apply(const Vec3& p) const {
        return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + o.x,
                m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + o.y,
                m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + o.z};
    }
    Vec3 fromWorld(const Vec3& w) const {
        const Vec3 d = sub(w, eye);
        return {worldRows[0][0] * d.x + worldRows[0][1] * d.y + worldRows[0][2] * d.z,
                worldRows[1][0] * d.x + worldRows[1][1] * d.y + worldRows[1][2] * d.z,
                worldRows[2][0] * d.x + worldRows[2][1] * d.y + worldRows[2][2] * d.z};
    }
};

constexpr double kNear = 1e-3;

CameraTransform cameraTransform(const OrbitCamera& cam, const MeshScene& scene, int width, int height) {
    CameraTransform t;
    Vec3 right, up, back;
    CameraAxes(cam, right, up, back);
    const Vec3& target = cam.target;
    t.eye = {target.x + cam.distance * back.x, target.y + cam.distance * back.y, target.z + cam.distance * back.z};
    const Vec3 rows[3] = {right, up, back};
    for (int i = 0; i < 3; ++i) {
        t.worldRows[i][0] = rows[i].x;
        t.worldRows[i][1] = rows[i].y;
        t.worldRows[i][2] = rows[i].z;
    }
    // World coordinates of a model point: its offsets from the pivot along the frame.
    const WorldFrame& f = scene.frame;
    const double F[3][3] = {{f.right.x, f.right.y, f.right.z}, {f.up.x, f.up.y, f.up.z}, {f.back.x, f.back.y, f.back.z}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            t.m[i][j] = t.worldRows[i][0] * F[0][j] + t.worldRows[i][1] * F[1][j] + t.worldRows[i][2] * F[2][j];
    const Vec3 ce = t.fromWorld({0, 0, 0});  // −C·E
    const Vec3& p = scene.pivot;
    t.o = {ce.x - (t.m[0][0] * p.x + t.m[0][1] * p.y + t.m[0][2] * p.z),
           ce.y - (t.m[1][0] * p.x + t.m[1][1] * p.y + t.m[1][2] * p.z),
           ce.z - (t.m[2][0] * p.x + t.m[2][1] * p.y + t.m[2][2] * p.z)};
    t.focal = 0.5 * height / std::tan(0.5 * cam.fieldOfView);
    t.cx = 0.5 * width;
    t.cy = 0.5 * height;
    return t;
}

struct Projected {
    float x, y, w;  // screen position and 1/depth
    bool ok;
};

Projected project(const CameraTransform& t, const Vec3& c) {
    const double depth = -c.z;
    if (depth < kNear) return {0, 0, 0, false};
    const double inv = 1 / depth;
    return {static_cast<float>(t.cx + t.focal * c.x * inv), static_cast<float>(t.cy - t.focal * c.y * inv),
            static_cast<float>(inv), true};
}

std::uint32_t shadeColour(Rgb base, float intensity) {
    auto channel = [intensity](int c) {
        const float v = static_cast<float>(c) * intensity;
        return static_cast<std::uint32_t>(v >= 255.f ? 255.f : (v <= 0 ? 0.f : v));
    };
    return 0xFF000000u | (channel(base.r) << 16) | (channel(base.g) << 8) | channel(base.b);
}

// Colours of one chamber by light, in steps of 1/256 up to 2.
struct ShadeTable {
    static constexpr int kSteps = 512;
    std::uint32_t colour[kSteps];
    explicit ShadeTable(Rgb base) {
        for (int i = 0; i < kSteps; ++i) colour[i] = shadeColour(base, static_cast<float>(i) / 256.0f);
    }
    std::uint32_t operator()(float light) const {
        const int i = static_cast<int>(light * 256.0f);
        return colour[i < 0 ? 0 : (i >= kSteps ? kSteps - 1 : i)];
    }
};

// Fills one triangle with 1/depth and a light value per corner; `write`
// receives the row, column and interpolated light of every pixel that
// passes the depth test (and writes the depth when `storeDepth`).
template <class Write>
void fillTriangle(int width, int height, float* depth, const float* x, const float* y, const float* w,
                  const float* l, bool storeDepth, Write write) {
    float area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    int i0 = 0, i1 = 1, i2 = 2;
    if (area < 0) {
        std::swap(i1, i2);
        area = -area;
    }
    if (!(area > 1e-12f)) return;
    const float x0 = x[i0], y0 = y[i0], x1 = x[i1], y1 = y[i1], x2 = x[i2], y2 = y[i2];
    const int minX = std::max(0, static_cast<int>(std::floor(std::min({x0, x1, x2}))));
    const int maxX = std::min(width - 1, static_cast<int>(std::ceil(std::max({x0, x1, x2}))));
    const int minY = std::max(0, static_cast<int>(std::floor(std::min({y0, y1, y2}))));
    const int maxY = std::min(height - 1, static_cast<int>(std::ceil(std::max({y0, y1, y2}))));
    if (minX > maxX || minY > maxY) return;
    const float inv = 1.0f / area;
    // Edge functions: e0 opposite corner 0, and so on; each grows into the triangle.
    const float a0 = -(y2 - y1), b0 = x2 - x1;
    const float a1 = -(y0 - y2), b1 = x0 - x2;
    const float a2 = -(y1 - y0), b2 = x1 - x0;
    const float px = static_cast<float>(minX) + 0.5f, py = static_cast<float>(minY) + 0.5f;
    float r0 = b0 * (py - y1) + a0 * (px - x1);
    float r1 = b1 * (py - y2) + a1 * (px - x2);
    float r2 = b2 * (py - y0) + a2 * (px - x0);
    const float w0 = w[i0], w1 = w[i1], w2 = w[i2];
    const float l0 = l[i0], l1 = l[i1], l2 = l[i2];
    for (int yy = minY; yy <= maxY; ++yy) {
        float e0 = r0, e1 = r1, e2 = r2;
        float* row = depth + static_cast<size_t>(yy) * static_cast<size_t>(width);
        for (int xx = minX; xx <= maxX; ++xx) {
            if (e0 >= 0 && e1 >= 0 && e2 >= 0) {
                const float b0n = e0 * inv, b1n = e1 * inv, b2n = e2 * inv;
                const float z = b0n * w0 + b1n * w1 + b2n * w2;
                if (z > row[xx]) {
                    if (storeDepth) row[xx] = z;
                    write(yy, xx, b0n * l0 + b1n * l1 + b2n * l2);
                }
            }
            e0 += a0;
            e1 += a1;
            e2 += a2;
        }
        r0 += b0;
        r1 += b1;
        r2 += b2;
    }
}

// The disk of the horizontal plane, row by row: along a row of pixels the
// ray from the eye meets the plane at 1/depth linear in x, and inside the
// disk where a quadratic in x is at most 0. Pixels where the plane lies in
// front of the shell (or where there is no shell) are tinted.
void paintPlane(PixelBuffer& target, const float* depth, const CameraTransform& t, const Vec3& centreWorld,
                double radius) {
    const int W = target.width, H = target.height;
    // The plane in camera coordinates: normal n (the world's up) through P.
    const Vec3 n{t.worldRows[0][1], t.worldRows[1][1], t.worldRows[2][1]};
    const Vec3 P = t.fromWorld(centreWorld);
    const double nP = dot(n, P);
    if (std::abs(nP) < 1e-12) return;  // the eye lies in the plane: it is seen edge on
    const double r2 = radius * radius;
    const Rgb tint(70, 110, 150);
    for (int y = 0; y < H; ++y) {
        // Ray through pixel (x, y): d = (u, v, −1) with u = (x + ½ − cx)/f.
        const double v = -(y + 0.5 - t.cy) / t.focal;
        const Vec3 d0{0, v, -1};
        const double c0 = dot(n, d0), c1 = n.x;  // n·d = c0 + c1·u
        // |nP·d − (n·d)·P|² ≤ r²·(n·d)², with nP·d − (n·d)·P = A + u·B.
        const Vec3 A{nP * d0.x - c0 * P.x, nP * d0.y - c0 * P.y, nP * d0.z - c0 * P.z};
        const Vec3 B{nP - c1 * P.x, -c1 * P.y, -c1 * P.z};
        const double a2 = dot(B, B) - r2 * c1 * c1, a1 = 2 * (dot(A, B) - r2 * c0 * c1),
                     a0 = dot(A, A) - r2 * c0 * c0;
        int x0 = 0, x1 = W - 1;
        if (a2 > 0) {
            const double disc = a1 * a1 - 4 * a2 * a0;
            if (disc < 0) continue;
            const double root = std::sqrt(disc);
            const double uLow = (-a1 - root) / (2 * a2), uHigh = (-a1 + root) / (2 * a2);
            x0 = std::max(0, static_cast<int>(std::ceil(t.cx + uLow * t.focal - 0.5)));
            x1 = std::min(W - 1, static_cast<int>(std::floor(t.cx + uHigh * t.focal - 0.5)));
        }
        const float* depthRow = depth + static_cast<size_t>(y) * static_cast<size_t>(W);
        std::uint32_t* row = target.pixels + static_cast<size_t>(y) * static_cast<size_t>(target.stride);
        for (int x = x0; x <= x1; ++x) {
            const double u = (x + 0.5 - t.cx) / t.focal;
            const double nd = c0 + c1 * u;
            const double invDepth = nd / nP;  // 1/t: the plane is in front of the eye when above 0
            if (!(invDepth > 0)) continue;
            if (a2 <= 0 && (a2 * u + a1) * u + a0 > 0) continue;  // rows the quadratic cannot bound
            if (!(static_cast<float>(invDepth) > depthRow[x])) continue;
            const Rgb old = Rgb::fromArgb(row[x]);
            row[x] = Rgb((old.r * 3 + tint.r) / 4, (old.g * 3 + tint.g) / 4, (old.b * 3 + tint.b) / 4).argb();
        }
    }
}

}  // namespace

void CameraAxes(const OrbitCamera& cam, Vec3& right, Vec3& up, Vec3& back) {
    const double cy = std::cos(cam.yaw), sy = std::sin(cam.yaw);
    const double cp = std::cos(cam.pitch), sp = std::sin(cam.pitch);
    back = {cp * sy, sp, cp * cy};
    right = {cy, 0, -sy};
    up = {-sp * sy, cp, -sp * cy};
}

void MakeViewMesh(const ShellMesh& mesh, ViewMesh& out) {
    out = ViewMesh{};
    out.ringPoints = mesh.ringPoints;
    const MeshObject* objects[2] = {&mesh.phragmocone, &mesh.bodyChamber};
    size_t vertices = 0, triangles = 0;
    for (const MeshObject* o : objects) {
        vertices += o->vertices.size();
        triangles += o->triangles.size();
    }
    out.xyz.reserve(vertices * 3);
    out.part.reserve(vertices);
    out.triangles.reserve(triangles * 3);
    for (int k = 0; k < 2; ++k) {
        const MeshObject& o = *objects[k];
        const auto first = static_cast<std::uint32_t>(out.part.size());
        for (const auto& v : o.vertices) {
            out.xyz.insert(out.xyz.end(), v.begin(), v.end());
            out.part.push_back(static_cast<std::uint8_t>(k));
        }
        for (const auto& t : o.triangles)
            for (std::uint32_t i : t) out.triangles.push_back(first + i);
    }
    // Smooth normals: each vertex takes the area-weighted normals of its triangles.
    std::vector<double> acc(out.xyz.size(), 0.0);
    for (size_t t = 0; t + 2 < out.triangles.size(); t += 3) {
        const float* a = &out.xyz[3 * static_cast<size_t>(out.triangles[t])];
        const float* b = &out.xyz[3 * static_cast<size_t>(out.triangles[t + 1])];
        const float* c = &out.xyz[3 * static_cast<size_t>(out.triangles[t + 2])];
        const Vec3 n = cross({double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]},
                             {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]});
        for (int k = 0; k < 3; ++k) {
            double* d = &acc[3 * static_cast<size_t>(out.triangles[t + static_cast<size_t>(k)])];
            d[0] += n.x;
            d[1] += n.y;
            d[2] += n.z;
        }
    }
    out.normals.resize(out.xyz.size());
    for (size_t v = 0; v < acc.size(); v += 3) {
        const Vec3 n = unit({acc[v], acc[v + 1], acc[v + 2]});
        out.normals[v] = static_cast<float>(n.x);
        out.normals[v + 1] = static_cast<float>(n.y);
        out.normals[v + 2] = static_cast<float>(n.z);
    }
    if (out.xyz.empty()) return;
    double lo[3] = {out.xyz[0], out.xyz[1], out.xyz[2]}, hi[3] = {lo[0], lo[1], lo[2]};
    for (size_t v = 0; v < out.xyz.size(); v += 3)
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], double(out.xyz[v + static_cast<size_t>(k)]));
            hi[k] = std::max(hi[k], double(out.xyz[v + static_cast<size_t>(k)]));
        }
    out.centre = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    double r2 = 0;
    for (size_t v = 0; v < out.xyz.size(); v += 3) {
        const Vec3 d = sub({out.xyz[v], out.xyz[v + 1], out.xyz[v + 2]}, out.centre);
        r2 = std::max(r2, dot(d, d));
    }
    out.radius = std::sqrt(r2);
}

WorldFrame FrameWithUp(const Vec3& upVector) {
    WorldFrame f;
    const double n = norm(upVector);
    if (!(n > 0) || !std::isfinite(n)) return f;
    f.up = scaled(upVector, 1 / n);
    // The model's x axis, laid into the horizontal plane (its z axis when x
    // stands upright).
    Vec3 r = sub(Vec3{1, 0, 0}, scaled(f.up, f.up.x));
    if (norm(r) < 1e-6) r = sub(Vec3{0, 0, 1}, scaled(f.up, f.up.z));
    f.right = unit(r);
    f.back = cross(f.right, f.up);
    return f;
}

ScreenPoint ProjectToScreen(const Vec3& modelPoint, const OrbitCamera& camera, const MeshScene& scene, int width,
                            int height) {
    const CameraTransform t = cameraTransform(camera, scene, width, height);
    const Projected p = project(t, t.apply(modelPoint));
    return {p.x, p.y, p.ok};
}

long RenderMeshView(PixelBuffer& target, const ViewMesh& mesh, const OrbitCamera& camera, const MeshScene& scene,
                    MeshViewScratch& s) {
    const int W = target.width, H = target.height;
    if (W <= 0 || H <= 0 || !target.pixels) return 0;
    // Background: a light sky over a darker sea, so that "up" reads at a glance.
    for (int y = 0; y < H; ++y) {
        const float k = static_cast<float>(y) / static_cast<float>(std::max(1, H - 1));
        const Rgb c(static_cast<int>(214 - 58 * k), static_cast<int>(226 - 52 * k), static_cast<int>(236 - 44 * k));
        std::uint32_t* row = target.pixels + static_cast<size_t>(y) * static_cast<size_t>(target.stride);
        std::fill(row, row + W, c.argb());
    }
    const size_t pixels = static_cast<size_t>(W) * static_cast<size_t>(H);
    s.depth.assign(pixels, 0.0f);
    const CameraTransform t = cameraTransform(camera, scene, W, H);

    // Corners: screen position, 1/depth and light.
    const size_t n = mesh.part.size();
    s.sx.resize(n);
    s.sy.resize(n);
    s.sw.resize(n);
    s.light.resize(n);
    s.visible.resize(n);
    const Vec3 light = unit({-0.35, 0.55, 0.75});
    const Vec3 half = unit({light.x, light.y, light.z + 1});
    for (size_t v = 0; v < n; ++v) {
        const float* p = &mesh.xyz[3 * v];
        const Projected q = project(t, t.apply({p[0], p[1], p[2]}));
        s.sx[v] = q.x;
        s.sy[v] = q.y;
        s.sw[v] = q.w;
        s.visible[v] = q.ok;
        const float* nm = &mesh.normals[3 * v];
        const double nx = t.m[0][0] * nm[0] + t.m[0][1] * nm[1] + t.m[0][2] * nm[2];
        const double ny = t.m[1][0] * nm[0] + t.m[1][1] * nm[1] + t.m[1][2] * nm[2];
        const double nz = t.m[2][0] * nm[0] + t.m[2][1] * nm[1] + t.m[2][2] * nm[2];
        const double diffuse = std::max(0.0, nx * light.x + ny * light.y + nz * light.z);
        double highlight = std::max(0.0, nx * half.x + ny * half.y + nz * half.z);
        highlight *= highlight;
        highlight *= highlight;
        highlight *= highlight;
        s.light[v] = static_cast<float>(0.3 + 0.72 * diffuse + 0.25 * highlight * highlight);
    }

    long drawn = 0;
    std::uint32_t* out = target.pixels;
    const int stride = target.stride;
    static const ShadeTable tables[2] = {ShadeTable(kPhragmoconeColour), ShadeTable(kBodyChamberColour)};
    for (size_t i = 0; i + 2 < mesh.triangles.size(); i += 3) {
        const std::uint32_t a = mesh.triangles[i], b = mesh.triangles[i + 1], c = mesh.triangles[i + 2];
        if (!s.visible[a] || !s.visible[b] || !s.visible[c]) continue;
        // Counter-clockwise from outside is clockwise on a screen whose y grows down.
        const float area = (s.sx[b] - s.sx[a]) * (s.sy[c] - s.sy[a]) - (s.sy[b] - s.sy[a]) * (s.sx[c] - s.sx[a]);
        if (area >= 0) continue;
        const float x[3] = {s.sx[a], s.sx[b], s.sx[c]}, y[3] = {s.sy[a], s.sy[b], s.sy[c]};
        const float w[3] = {s.sw[a], s.sw[b], s.sw[c]}, l[3] = {s.light[a], s.light[b], s.light[c]};
        const ShadeTable& shade = tables[mesh.part[a] & 1];
        fillTriangle(W, H, s.depth.data(), x, y, w, l, true, [&](int yy, int xx, float li) {
            out[static_cast<size_t>(yy) * static_cast<size_t>(stride) + static_cast<size_t>(xx)] = shade(li);
        });
        ++drawn;
    }

    // The horizontal plane: a faint disk, seen where nothing of the shell is in front of it.
    if (scene.plane) {
        const double radius = scene.planeRadius > 0 ? scene.planeRadius : 1.3 * std::max(mesh.radius, 1e-9);
        Vec3 centreWorld;
        if (scene.centres) {
            const Vec3 d = sub(scene.massCentre, scene.pivot);
            centreWorld = {dot(d, scene.frame.right), dot(d, scene.frame.up), dot(d, scene.frame.back)};
            centreWorld.x = 0;
            centreWorld.z = 0;
        }
        paintPlane(target, s.depth.data(), t, centreWorld, radius);
    }

    // The centres of buoyancy and mass, over everything, and the lever between them.
    if (scene.centres) {
        const Projected b = project(t, t.apply(scene.buoyancyCentre));
        const Projected g = project(t, t.apply(scene.massCentre));
        if (b.ok && g.ok) raster::line(target, b.x, b.y, g.x, g.y, Rgb(30, 30, 30).argb(), 2);
        if (b.ok) raster::circle(target, b.x, b.y, 5, Rgb(0, 0, 128).argb(), true, paletteColour(11).argb());
        if (g.ok) raster::circle(target, g.x, g.y, 5, Rgb(90, 0, 60).argb(), true, paletteColour(13).argb());
    }
    // A specimen's points over everything: the residual of each as a line to
    // the fitted centre line.
    for (const auto& [measured, fitted] : scene.specimen) {
        const Projected m = project(t, t.apply(measured));
        const Projected f = project(t, t.apply(fitted));
        if (m.ok && f.ok) raster::line(target, m.x, m.y, f.x, f.y, Rgb(200, 0, 0).argb(), 1);
        if (m.ok) raster::circle(target, m.x, m.y, 3, Rgb(120, 0, 0).argb(), true, Rgb(255, 60, 40).argb());
    }
    return drawn;
}

}  // namespace ammonite
