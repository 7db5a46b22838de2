// Files of the shell mesh: binary STL, binary little-endian PLY and OBJ, and a
// text sidecar with the scale, the volumes and the mass.
//
// For a chosen path DIR/NAME.stl (or .ply) the export writes
// DIR/NAME_phragmocone.stl and DIR/NAME_body_chamber.stl; for DIR/NAME.obj
// the one file DIR/NAME.obj with the groups `phragmocone` and
// `body_chamber`; and always DIR/NAME_volumes.txt. A path without the
// format's extension (compared without regard to case) gets it appended:
// DIR/NAME and DIR/NAME.v2 are taken as DIR/NAME.stl and DIR/NAME.v2.stl. An
// empty object (the phragmocone when the body chamber takes the whole tube)
// is not written; the sidecar says it is empty.
//
// Every file goes through the safe writer (core/safe_file.h): all of them are
// checked and written in full under temporary names before the first is
// renamed into place, so a failure leaves every old file as it was and no
// half-written file (nor a temporary) behind.
#pragma once

#include <string>
#include <vector>

#include "render/shell_mesh.h"

namespace ammonite {

enum class MeshFormat { Stl, Ply, Obj };

// "stl", "ply", "obj".
const char* MeshFormatExtension(MeshFormat format);

// The files an export to `path` writes, in the order of writing: the object
// files (both even when one of them would be empty), then the sidecar.
struct MeshFilePaths {
    std::string phragmocone, bodyChamber;  // the same .obj file for OBJ
    std::string volumes;
};
MeshFilePaths MeshFilePathsFor(MeshFormat format, const std::string& path);

// The whole export: builds the mesh of the last run and writes its files.
// `written` receives the paths written (object files, then the sidecar).
// Returns false with a one-line error (and writes nothing) when there is no
// finished run, the stage count is out of range, an option is bad or a file
// cannot be written (the error names it). Never throws.
// `scenarioToml`, when given, is the scenario the shell was grown from (a
// scenario file's text): the sidecar carries it in a closing block.
bool ExportShellMesh(MeshFormat format, const std::string& path, const ModelState& model, const RunState& run,
                     const MeshOptions& options, std::vector<std::string>& written, std::string& error,
                     const std::string& scenarioToml = "");

// Writers of one object (STL, PLY) or both (OBJ, the groups of the non-empty
// objects); `name` goes into the STL header and the PLY comment. Each goes
// through the safe writer on its own; false with a one-line error naming the
// file.
bool WriteMeshStl(const std::string& path, const std::string& name, const MeshObject& object, std::string& error);
bool WriteMeshPly(const std::string& path, const std::string& name, const MeshObject& object, std::string& error);
bool WriteMeshObj(const std::string& path, const ShellMesh& mesh, std::string& error);

// The sidecar's key=value lines for a built mesh and the run it came from,
// ending with "generator=ammonite X.Y.Z".
std::string MeshVolumesText(MeshFormat format, const MeshFilePaths& files, const ShellMesh& mesh,
                            const ModelState& model, const RunState& run);

}  // namespace ammonite
