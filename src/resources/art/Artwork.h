// The library's artwork, drawn in code: the editors' title picture, panel, divider and
// picker glyphs, the plug-in's icon and the About box's picture. The checked-in files
// beside this header are its output; changing the artwork means changing the code and
// running the generator again (tarvik-artwork FOLDER).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvik::art {

struct ArtFile {
    std::string name;                 // file name, as checked in beside the generator
    std::vector<std::uint8_t> bytes;  // the whole file
};

// Every picture, encoded: 24-bit BMP files, the icon file and the baseline JPEG.
// The same bytes on every run.
std::vector<ArtFile> GenerateArtwork();

// Writes GenerateArtwork() into folder; false when a file cannot be written.
bool WriteArtwork(const std::string& folder, std::string& error);

}  // namespace tarvik::art
