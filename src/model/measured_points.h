// A measured specimen: points along the centre line of the tube, from the
// oldest preserved part to the aperture, in millimetres, read from a CSV file
// with a header. Columns (any order): x_mm, y_mm and optionally z_mm (a form
// that lies in one plane may leave z out), radius_mm (half the whorl height at
// the point; a cell may be empty) and mark ("septum" for the last septum,
// "aperture" for the aperture, empty otherwise). Blank lines and lines that
// start with '#' are skipped.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/rotations.h"

namespace ammonite {

// The bounds of what a specimen may hold.
constexpr int kMinSpecimenPoints = 8;
constexpr int kMaxSpecimenPoints = 10000;
constexpr std::size_t kMaxSpecimenLineBytes = 1000;
constexpr std::size_t kMaxSpecimenFileBytes = 4u << 20;

struct Specimen {
    std::vector<Vec3> points;     // mm; z = 0 for a planar file
    std::vector<double> radii;    // mm, one per point; NaN where not measured
    bool planar = false;          // no z column, or every z the same
    int septumIndex = -1;         // point marked as the last septum (-1: none)
    int apertureIndex = -1;       // point marked as the aperture (-1: none)
    std::vector<int> rows;        // row of the file (or of the array) of each point
    std::string source;           // file name, or "" for points given directly

    bool hasRadii() const;
    // Length of the polyline through the points, mm.
    double length() const;
};

// Parses the text of a specimen file. On any problem returns false and sets
// `error` to one line naming the row ("row 7: x_mm is not a number"); rows
// are the file's lines counted from 1, the header being row 1.
bool ParseSpecimen(const std::string& text, Specimen& specimen, std::string& error);

// Reads a specimen file: a regular file of at most 4 MiB and 10000 points.
// `error` names the file and the row on a refusal.
bool ReadSpecimenFile(const std::string& path, Specimen& specimen, std::string& error);

// Builds a specimen from points given directly (N × 2 or N × 3 values, row
// by row) and optional radii; the same checks as for a file, with rows
// counted from 1 for the first point.
bool MakeSpecimen(const std::vector<double>& coordinates, int columns, const std::vector<double>& radii,
                  Specimen& specimen, std::string& error);

// The checks every specimen passes: enough points, finite values, radii
// above 0, markers in order, a length above 0.
bool CheckSpecimen(const Specimen& specimen, std::string& error);

}  // namespace ammonite
