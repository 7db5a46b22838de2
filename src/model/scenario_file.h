// The scenario file: TOML, one key per input (docs/scenario.md lists them
// with their units and ranges), written with a comment above each group and
// read back to the same value. The same text travels inside the pictures and
// meshes the program writes, so a result can be grown again from itself.
#pragma once

#include <string>

#include "model/scenario.h"

namespace ammonite {

// The scenario as the text of a scenario file (UTF-8, LF line ends).
std::string ScenarioToml(const Scenario& scenario);

// Parses the text of a scenario file on top of the defaults: keys not given
// keep their default values; `format` must be given. False with a one-line
// `error` (a TOML syntax error with its line, an unknown key with its name,
// a bad value with the key, the value and what is allowed). `where` names
// the source in messages.
bool ParseScenarioToml(const std::string& text, Scenario& out, std::string& error, const std::string& where = "");

// Reads a scenario file (a regular file of at most 1 MiB).
bool ReadScenarioFile(const std::string& path, Scenario& out, std::string& error);

// Writes a scenario file through the safe writer.
bool WriteScenarioFile(const std::string& path, const Scenario& scenario, std::string& error);

// ---- the scenario carried by results ----

// Keyword of the PNG text chunk, id of the SVG metadata element and heading
// of the block in a mesh sidecar.
extern const char* const kScenarioTag;  // "ammonite-scenario"

// The PNG bytes with an uncompressed international text chunk holding the
// scenario's text, placed before the image data. Bytes that are not a PNG
// are returned unchanged.
std::string PngWithScenario(const std::string& png, const std::string& scenarioToml);

// The SVG metadata element for a scenario (lines of its own, XML-escaped).
std::string SvgScenarioMetadata(const std::string& scenarioToml);

// The block a mesh sidecar ends with: a heading line, then every line of the
// scenario's text behind "# ".
std::string SidecarScenarioBlock(const std::string& scenarioToml);

// The scenario text a file carries: a PNG's text chunk, an SVG's metadata, a
// mesh sidecar's block, or the file itself when it is a scenario file. False
// with a one-line error when the file carries none.
bool ScenarioTextFromBytes(const std::string& bytes, std::string& text, std::string& error);

// Reads the scenario a result file carries (or a scenario file).
bool ReadScenarioFrom(const std::string& path, Scenario& out, std::string& error);

}  // namespace ammonite
