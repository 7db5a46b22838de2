// The profile data file: α, the stage range and the four profiles as
// comma-separated records, one per line, CR LF line ends, section headers in
// the Japanese code page (Shift-JIS). The reader goes by field position only;
// headers are skipped without being compared.
#pragma once

#include <cstddef>
#include <string>

#include "model/model_state.h"

namespace ammonite {

// Folder and file name of "D-save", relative to the current directory.
extern const char* const kProfileFolderName;  // "ammonite"
extern const char* const kProfileFileName;    // "SAMPLE.txt"

// The whole file for the model's α, stage range and profiles, byte for byte.
std::string FormatProfileFile(const ModelState& model);

// The parts of the model a profile file carries.
struct ProfileFileContents {
    double alpha = 0;
    std::array<double, 2> stageRange{};
    std::array<ParameterProfile, 4> profiles;  // γ, C, T, β

    static ProfileFileContents from(const ModelState& model);
    void commitTo(ModelState& model) const;
};

// Parses the bytes of a profile file on top of `into` (points above a new
// count keep the contents `into` had). The whole text is checked: a field
// that is missing or not a number, a count outside 0..50 or a stage outside
// 0..4000 makes it return false with a one-line `error` that names the line
// ("line 7: ..."); `into` is then left as it was.
bool ParseProfileFile(const std::string& bytes, ProfileFileContents& into, std::string& error);

// The largest profile file read: a full one is a few kilobytes.
constexpr size_t kMaxProfileFileBytes = 1 << 20;

// Reads the bytes of a profile file: a regular file of at most 1 MiB. A
// folder, a pipe, a device or a larger file is refused without reading it
// (and without waiting for a pipe's writer) with a one-line `error` naming
// the file and what was wrong ("is a folder", "is not a regular file", "is
// larger than 1 MiB").
bool ReadProfileFileBytes(const std::string& path, std::string& bytes, std::string& error);
// The same reading for any file of at most `limit` bytes (a whole number of
// MiB, as the message names it): the scenario files and the results that
// carry a scenario are read this way too.
bool ReadBoundedFile(const std::string& path, size_t limit, std::string& bytes, std::string& error);

// Reads a profile file into the model, or nothing at all: on any problem the
// model stays exactly as it was and `error` holds one line naming the file and
// the line. On success also sets profileFileName = path, lastStage and
// shownStage = the final stage, as a load from the profile window does.
bool ReadProfileFile(const std::string& path, ModelState& model, std::string& error);

// Writes the model's profile file to `path` through the safe writer (the old
// file stays whole until the new one is complete). Returns false with a
// one-line `error` naming the file and the reason when it cannot be written.
bool WriteProfileFile(const std::string& path, const ModelState& model, std::string& error);

}  // namespace ammonite
