// Decoding the About box's JPEG picture into pixels a 24-bit DIB section can take.
// Portable: libjpeg only, no Windows calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/UDialog.h"

namespace tarvik::about {

// The largest picture decoded, in pixels: a header that claims more gives an empty result
// instead of a huge allocation.
constexpr std::size_t kMaxJpegPixels = 4096u * 4096u;

// Decodes the JPEG at data into the picture a dialog paints (rows top-down, as a DIB with
// a negative height). Never throws, never prints, never ends the process: damaged,
// truncated or foreign data, and any warning libjpeg raises while decoding, give an
// empty picture (no pixels, every size 0).
ui::PixelPicture DecodeJpeg(const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace tarvik::about
