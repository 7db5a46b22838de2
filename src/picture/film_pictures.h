// The film's frames as the windows draw pictures: a caption printed with the
// toolkit's fonts, at a size that follows the frame, and PNG files that carry
// text chunks.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/surface.h"

namespace ammonite {

// A picture of a film frame: its pixels one per unit, its caption's font
// about a thirtieth of its height.
std::unique_ptr<DrawingSurface> MakeFilmPicture(int width, int height);

// The pixels as PNG bytes with the given text chunks (key, value); false
// with a one-line reason.
bool EncodeFilmPng(const PixelBuffer& pixels, const std::vector<std::pair<std::string, std::string>>& text,
                   std::string& png, std::string& error);

}  // namespace ammonite
