// The shell mesh seen through an orbiting camera: a z-buffered software
// rasteriser that paints the phragmocone and the body chamber in two colours,
// lit from the camera, with the horizontal plane of the life orientation and
// the centres of buoyancy and mass over it. It needs no graphics driver, so
// the picture is the same on a desktop, under a software OpenGL and with no
// display at all.
#pragma once

#include <cstdint>
#include <vector>

#include "core/rotations.h"
#include "render/shell_mesh.h"
#include "render/surface.h"

namespace ammonite {

// The two objects of a ShellMesh merged, with smooth vertex normals.
struct ViewMesh {
    std::vector<float> xyz;            // 3 per vertex
    std::vector<float> normals;        // 3 per vertex, unit length
    std::vector<std::uint8_t> part;    // per vertex: 0 phragmocone, 1 body chamber
    std::vector<std::uint32_t> triangles;  // 3 per triangle, counter-clockwise seen from outside
    Vec3 centre;                       // centre of the bounding box
    double radius = 0;                 // farthest vertex from the centre
    int ringPoints = 0;
    bool empty() const { return triangles.empty(); }
    size_t triangleCount() const { return triangles.size() / 3; }
};

void MakeViewMesh(const ShellMesh& mesh, ViewMesh& out);

// The world's axes in model coordinates: `up` is the life orientation's
// "up", `right` and `back` lie in the horizontal plane.
struct WorldFrame {
    Vec3 right{1, 0, 0}, up{0, 1, 0}, back{0, 0, 1};
};
// A frame with the given up direction (any length above 0; otherwise the
// model's y axis). `right` follows the model's x axis as far as it can.
WorldFrame FrameWithUp(const Vec3& up);

// The camera orbits a target point of the world; panning moves the target.
struct OrbitCamera {
    double yaw = 0.5;        // radians about the world's up
    double pitch = 0.3;      // radians above the horizontal, within ±(π/2 − 0.01)
    double distance = 100;   // from the target, in model units
    Vec3 target;             // world coordinates (model units from the pivot along the frame)
    double fieldOfView = 0.7;   // vertical, radians
};
// The camera's axes in world coordinates.
void CameraAxes(const OrbitCamera& camera, Vec3& right, Vec3& up, Vec3& back);

// What places the shell in the world and what is drawn besides it.
struct MeshScene {
    Vec3 pivot;              // model point at the world's origin
    WorldFrame frame;
    bool plane = true;       // the faint horizontal plane through the pivot
    double planeRadius = 0;  // 0: 1.3 × the mesh radius
    bool centres = false;    // the centres of buoyancy and mass and the line between them
    Vec3 buoyancyCentre, massCentre;  // model coordinates
    // Measured points of a specimen laid over the shell, each with the point
    // of the fitted centre line it was matched to (model coordinates): drawn
    // as dots with their residuals as lines.
    std::vector<std::pair<Vec3, Vec3>> specimen;
};

// Scratch memory kept between frames.
struct MeshViewScratch {
    std::vector<float> depth;
    std::vector<float> sx, sy, sw, light;
    std::vector<std::uint8_t> visible;
};

// Screen position (pixels, y down) of a model point, and whether it lies in
// front of the camera.
struct ScreenPoint {
    double x = 0, y = 0;
    bool inFront = false;
};
ScreenPoint ProjectToScreen(const Vec3& modelPoint, const OrbitCamera& camera, const MeshScene& scene, int width,
                            int height);

// Colours of the two chambers and the background.
constexpr Rgb kPhragmoconeColour{226, 212, 178};
constexpr Rgb kBodyChamberColour{196, 112, 78};

// Paints the whole buffer: background, mesh, plane, centres. Returns the
// number of triangles drawn (facing the camera and in front of it).
long RenderMeshView(PixelBuffer& target, const ViewMesh& mesh, const OrbitCamera& camera, const MeshScene& scene,
                    MeshViewScratch& scratch);

}  // namespace ammonite
