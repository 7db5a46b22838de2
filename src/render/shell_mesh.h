// The grown shell as a closed triangle mesh: the tube SHADE paints (rings
// 1..shownStage + 1, model coordinates times a scale), cut where the body
// chamber begins into two watertight objects, the phragmocone (air chamber)
// and the body chamber, each capped at both ends by a fan to the mean point of
// its end ring.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run_state.h"

namespace ammonite {

struct MeshOptions {
    double mmPerUnit = 1;   // millimetres per model unit (> 0)
    int ringPoints = 360;   // points per ring, a divisor of 360 from 3 up
    // The tube as it stood at this stage of the run, cut where its body
    // chamber began then (0: the whole tube the model shows).
    int stage = 0;
};

// One closed object. Vertices are in millimetres, in single precision as the
// files store them; triangles are vertex indices, counter-clockwise seen from
// outside (their normals point out).
struct MeshObject {
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<std::uint32_t, 3>> triangles;
    bool empty() const { return triangles.empty(); }
};

struct ShellMesh {
    MeshObject phragmocone;  // empty when the body chamber takes the whole tube
    MeshObject bodyChamber;  // empty when the body chamber starts past the last ring
    double mmPerUnit = 1;
    int ringPoints = 360;
    bool ribbing = false;
    int lastStage = 0;       // strips 1..lastStage, rings 1..lastStage + 1
    // Where the body chamber begins, in rings: ring j + 1 + t for the run's
    // bodyStartStage j and bodyStartFraction t.
    double bodyStartRing = 0;
};

// Checks the options; false with a one-line reason.
bool CheckMeshOptions(const MeshOptions& options, std::string& error);

// Whether the last run left a shell to build a mesh of; false with the
// reason (no run yet, a run that stopped, a stage beyond the run). `stage`
// 0 means the stage shown; an earlier stage needs its hydrostatics row.
bool ShellMeshAvailable(const ModelState& model, const RunState& run, std::string& error, int stage = 0);

// Builds the mesh of the last run's tube. Reads the model and the run without
// changing them (the rib factors come from a copy of the rib marks). Returns
// false with a one-line error when there is no finished run, the stage count
// is out of range or an option is bad; never throws.
bool BuildShellMesh(const ModelState& model, const RunState& run, const MeshOptions& options, ShellMesh& mesh,
                    std::string& error);

// Signed volume enclosed by an object (mm³), positive for outward normals;
// 0 for an empty object.
double MeshVolume(const MeshObject& object);

}  // namespace ammonite
