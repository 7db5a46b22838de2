// The gallery of heteromorph forms: profile data files shipped with the
// program, offered in the profile folder so that D-Load lists them.
#pragma once

#include <string>

namespace ammonite {

// The folder holding the gallery's profile files, or "" when none is found.
// Looked for, in this order: the folder named by the environment variable
// AMMONITE_GALLERY (when set and not empty, it is taken as it is);
// <folder of the running program>/../share/ammonite/gallery (an installed
// program); the source tree's gallery folder (AMMONITE_SOURCE_GALLERY, set
// when the program is built).
std::string GalleryFolder();

// Copies every *.txt file of the gallery into `profileFolder` unless a file of
// that name is already there (a user's file is never overwritten). Returns the
// number of files copied; -1 with a one-line `error` when there is no gallery,
// the profile folder does not exist or a copy fails (files copied before the
// failure stay).
int CopyGalleryInto(const std::string& profileFolder, std::string& error);

}  // namespace ammonite
