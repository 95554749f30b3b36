// Decoding the About box's JPEG picture into pixels a 24-bit DIB section can take.
// Portable: libjpeg only, no Windows calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvik::about {

// A decoded picture: 24 bits per pixel, blue, green, red; rows top-down (a DIB with a
// negative height), each row padded to a multiple of 4 bytes. Empty when the data was
// not a whole, undamaged JPEG.
struct TJpegPicture {
    int Width = 0;
    int Height = 0;
    std::size_t Stride = 0;  // bytes per row
    std::vector<std::uint8_t> Pixels;

    bool Empty() const { return Pixels.empty(); }
};

// The largest picture decoded, in pixels: a header that claims more gives an empty result
// instead of a huge allocation.
constexpr std::size_t kMaxJpegPixels = 4096u * 4096u;

// Decodes the JPEG at data. Never throws, never prints, never ends the process: damaged,
// truncated or foreign data, and any warning libjpeg raises while decoding, give an
// empty picture.
TJpegPicture DecodeJpeg(const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace tarvik::about
