// Draws the library's artwork and encodes it. Everything is computed from fixed
// numbers: shapes are sampled on a fixed 4 x 4 grid per pixel, colours rounded once at
// the end, and the JPEG written with fixed settings, so every run gives the same bytes.
#include "Artwork.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>

#include <jpeglib.h>

namespace tarvik::art {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kButtonFace{240, 240, 240};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

using Inside = std::function<bool(double x, double y)>;
using Shade = std::function<Rgb(double x, double y)>;

Shade Flat(Rgb colour) {
    return [colour](double, double) { return colour; };
}

// A vertical gradient between rows top and bottom.
Shade Vertical(Rgb top, Rgb bottom, double y0, double y1) {
    return [=](double, double y) { return Mix(top, bottom, (y - y0) / (y1 - y0)); };
}

// Premultiplied colour with coverage, one per pixel. Painting is "over".
class Canvas {
public:
    Canvas(int width, int height, Rgb fill, double alpha = 1.0)
        : width_(width), height_(height),
          pixels_(static_cast<std::size_t>(width * height),
                  Pixel{fill.r * alpha, fill.g * alpha, fill.b * alpha, alpha}) {}

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Paints the shape with the shading, weighted by how many of the 16 sample points
    // of each pixel fall inside it.
    void Paint(const Inside& inside, const Shade& shade, double opacity = 1.0) {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) {
                        if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0)) ++hits;
                    }
                }
                if (hits == 0) continue;
                Blend(x, y, shade(x + 0.5, y + 0.5), opacity * hits / 16.0);
            }
        }
    }

    // Sets whole pixels from a picture drawn as text: one string per row, one character
    // per pixel; characters that the palette does not name leave the pixel alone.
    void Stamp(int left, int top, const std::vector<const char*>& rows,
               const std::function<bool(char, Rgb&)>& palette) {
        for (std::size_t row = 0; row < rows.size(); ++row) {
            for (std::size_t column = 0; rows[row][column] != '\0'; ++column) {
                Rgb colour{};
                if (palette(rows[row][column], colour)) {
                    Blend(left + static_cast<int>(column), top + static_cast<int>(row), colour, 1.0);
                }
            }
        }
    }

    void Blend(int x, int y, Rgb colour, double amount) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        Pixel& p = At(x, y);
        const double keep = 1.0 - amount;
        p = {p.r * keep + colour.r * amount, p.g * keep + colour.g * amount,
             p.b * keep + colour.b * amount, p.a * keep + amount};
    }

    // The colour that shows over the background, and the coverage.
    Rgb Over(int x, int y, Rgb background) const {
        const Pixel& p = At(x, y);
        return {p.r + background.r * (1 - p.a), p.g + background.g * (1 - p.a),
                p.b + background.b * (1 - p.a)};
    }
    double Coverage(int x, int y) const { return At(x, y).a; }
    Rgb Straight(int x, int y) const {
        const Pixel& p = At(x, y);
        if (p.a <= 0) return {0, 0, 0};
        return {p.r / p.a, p.g / p.a, p.b / p.a};
    }

private:
    struct Pixel {
        double r, g, b, a;
    };
    Pixel& At(int x, int y) { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }
    const Pixel& At(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }

    int width_, height_;
    std::vector<Pixel> pixels_;
};

std::uint8_t Byte(double value) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

// --- Shapes -------------------------------------------------------------------------

Inside Circle(double cx, double cy, double radius) {
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; };
}

Inside RoundRect(double left, double top, double right, double bottom, double radius) {
    return [=](double x, double y) {
        if (x < left || x > right || y < top || y > bottom) return false;
        const double dx = std::max({left + radius - x, 0.0, x - (right - radius)});
        const double dy = std::max({top + radius - y, 0.0, y - (bottom - radius)});
        return dx * dx + dy * dy <= radius * radius;
    };
}

struct Point {
    double x, y;
};

Inside Polygon(std::vector<Point> points) {
    return [points = std::move(points)](double x, double y) {
        bool in = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const Point& a = points[i];
            const Point& b = points[j];
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
        }
        return in;
    };
}

// A polygon given in a unit box, placed into the box (left, top)-(right, bottom).
Inside PolygonIn(const std::vector<Point>& unit, double left, double top, double right, double bottom) {
    std::vector<Point> placed;
    for (const Point& p : unit) placed.push_back({left + p.x * (right - left), top + p.y * (bottom - top)});
    return Polygon(std::move(placed));
}

// The lightning bolt of the hotkey motif, in a unit box.
const std::vector<Point> kBolt = {{0.62, 0.04}, {0.22, 0.56}, {0.47, 0.56}, {0.36, 0.96},
                                  {0.80, 0.40}, {0.55, 0.40}, {0.70, 0.04}};

// --- Encoders -----------------------------------------------------------------------

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// BITMAPINFOHEADER; heightField is twice the height for an icon's image.
void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int heightField, unsigned bits,
                   std::uint32_t imageSize) {
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(heightField));
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, 0);  // BI_RGB
    Put32(out, imageSize);
    Put32(out, 2835);  // 72 dpi in pixels per metre, as most tools write it
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
}

// A 24-bit bottom-up BMP file of the canvas over the background colour.
std::vector<std::uint8_t> EncodeBmp(const Canvas& canvas, Rgb background) {
    const int width = canvas.Width();
    const int height = canvas.Height();
    const std::uint32_t stride = static_cast<std::uint32_t>((width * 3 + 3) & ~3);
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 14 + 40 + imageSize);
    Put32(out, 0);
    Put32(out, 14 + 40);
    PutInfoHeader(out, width, height, 24, imageSize);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = canvas.Over(x, y, background);
            out.push_back(Byte(c.b));
            out.push_back(Byte(c.g));
            out.push_back(Byte(c.r));
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

// A glyph for the flat buttons: pixels the drawing covers at least half are opaque and
// take the colour the drawing gives them over the button's face, the rest is magenta,
// which the buttons draw transparent.
std::vector<std::uint8_t> EncodeGlyph(const Canvas& canvas) {
    Canvas flat(canvas.Width(), canvas.Height(), kMagenta);
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            if (canvas.Coverage(x, y) >= 0.5) flat.Blend(x, y, canvas.Over(x, y, kButtonFace), 1.0);
        }
    }
    return EncodeBmp(flat, kMagenta);
}

// An icon file of 32-bit images with alpha and an AND mask (set where nothing is drawn).
std::vector<std::uint8_t> EncodeIcon(const std::vector<Canvas>& images) {
    std::vector<std::vector<std::uint8_t>> bodies;
    for (const Canvas& image : images) {
        const int size = image.Width();
        const std::uint32_t maskStride = static_cast<std::uint32_t>(((size + 31) / 32) * 4);
        const std::uint32_t imageSize = static_cast<std::uint32_t>(size * size * 4) +
                                        maskStride * static_cast<std::uint32_t>(size);
        std::vector<std::uint8_t> body;
        PutInfoHeader(body, size, size * 2, 32, imageSize);
        for (int y = size - 1; y >= 0; --y) {
            for (int x = 0; x < size; ++x) {
                const std::uint8_t alpha = Byte(image.Coverage(x, y) * 255.0);
                const Rgb c = alpha == 0 ? Rgb{0, 0, 0} : image.Straight(x, y);
                body.push_back(Byte(c.b));
                body.push_back(Byte(c.g));
                body.push_back(Byte(c.r));
                body.push_back(alpha);
            }
        }
        for (int y = size - 1; y >= 0; --y) {
            std::vector<std::uint8_t> row(maskStride, 0);
            for (int x = 0; x < size; ++x) {
                if (Byte(image.Coverage(x, y) * 255.0) == 0) {
                    row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                }
            }
            body.insert(body.end(), row.begin(), row.end());
        }
        bodies.push_back(std::move(body));
    }
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // icon
    Put16(out, static_cast<unsigned>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(images[i].Width()));
        out.push_back(static_cast<std::uint8_t>(images[i].Height()));
        out.push_back(0);  // no palette
        out.push_back(0);
        Put16(out, 1);   // planes
        Put16(out, 32);  // bits per pixel
        Put32(out, static_cast<std::uint32_t>(bodies[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(bodies[i].size());
    }
    for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A baseline JPEG, three components (YCbCr, 4:2:0), standard Huffman tables, the
// accurate integer DCT, quality 90, a JFIF header and no other markers.
std::vector<std::uint8_t> EncodeJpeg(const Canvas& canvas) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(canvas.Width());
    info.image_height = static_cast<JDIMENSION>(canvas.Height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    info.dct_method = JDCT_ISLOW;
    info.optimize_coding = FALSE;
    info.comp_info[0].h_samp_factor = 2;
    info.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(canvas.Width() * 3));
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const Rgb c = canvas.Over(x, y, {0, 0, 0});
            row[static_cast<std::size_t>(x * 3)] = Byte(c.r);
            row[static_cast<std::size_t>(x * 3 + 1)] = Byte(c.g);
            row[static_cast<std::size_t>(x * 3 + 2)] = Byte(c.b);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// --- The pictures -------------------------------------------------------------------

// The question mark in an orange disc, on the colour of the title tab it sits on.
Canvas DrawTitulo() {
    Canvas canvas(17, 15, {214, 214, 199});
    canvas.Paint(Circle(8.5, 7.5, 7.25), Vertical({222, 120, 18}, {176, 72, 0}, 0, 15));
    canvas.Paint(Circle(8.5, 7.5, 6.25), Vertical({255, 196, 84}, {240, 122, 0}, 1, 14));
    canvas.Paint(Circle(7.2, 4.6, 2.6), Flat({255, 236, 190}), 0.35);  // a soft gloss
    const std::vector<const char*> mark = {
        ".####.",
        "##..##",
        "....##",
        "...##.",
        "..##..",
        "..##..",
        "......",
        "..##..",
        "..##.."};
    const auto shadow = [](char c, Rgb& colour) { colour = {176, 80, 0}; return c == '#'; };
    const auto white = [](char c, Rgb& colour) { colour = {255, 255, 255}; return c == '#'; };
    canvas.Stamp(6, 4, mark, shadow);
    canvas.Stamp(6, 3, mark, white);
    return canvas;
}

// The light grey panel behind a field: its colour lightens to the frame's towards the
// right, and a thin darker line along the top fades out to the right; the left edge
// keeps its line.
Canvas DrawPanel() {
    const int width = 263, height = 62;
    const Rgb left{226, 226, 226}, right{240, 240, 240}, line{150, 150, 150};
    Canvas canvas(width, height, right);
    canvas.Paint([](double, double) { return true; },
                 [=](double x, double) { return Mix(left, right, x / width); });
    for (int x = 0; x < width; ++x) {
        const double t = std::pow(static_cast<double>(x) / (width - 1), 0.7);
        const Rgb under = Mix(left, right, (x + 0.5) / width);
        canvas.Blend(x, 0, Mix(line, under, t), 1.0);
        if (x > 0) canvas.Blend(x, 1, Mix({255, 255, 255}, under, t), 1.0);
    }
    for (int y = 0; y < height; ++y) {
        canvas.Blend(0, y, line, 1.0);
        if (y > 0) canvas.Blend(1, y, {255, 255, 255}, 1.0);
    }
    return canvas;
}

// The dotted vertical divider between picker buttons: dark dots with a light dot
// beside and below each, as an etched line.
Canvas DrawSeparator() {
    Canvas canvas(4, 24, kButtonFace);
    for (int y = 0; y < 24; y += 2) {
        canvas.Blend(1, y, {150, 150, 150}, 1.0);
        canvas.Blend(2, y + 1, {255, 255, 255}, 1.0);
    }
    return canvas;
}

bool GlyphPalette(char c, Rgb& colour) {
    switch (c) {
        case 'k': colour = {96, 96, 96}; return true;      // page outline
        case 'w': colour = {255, 255, 255}; return true;   // paper
        case 'f': colour = {206, 206, 206}; return true;   // folded corner
        case 'r': colour = {214, 24, 24}; return true;     // the red marks
        case 'd': colour = {150, 0, 0}; return true;       // the arrow's rim
        case 'o': colour = {150, 104, 0}; return true;     // folder outline
        case 'b': colour = {236, 184, 52}; return true;    // folder back
        case 'h': colour = {255, 238, 160}; return true;   // folder front, lit edge
        case 'y': colour = {255, 212, 84}; return true;    // folder front
        case 'Y': colour = {242, 190, 56}; return true;    // folder front, lower part
        default: return false;
    }
}

// A page with a red bracketed hash mark and a red arrow: insert a variable.
Canvas DrawGlyphVariables() {
    Canvas canvas(19, 19, {0, 0, 0}, 0.0);
    canvas.Stamp(0, 0, {
        "...................",
        ".kkkkkkkkkk........",
        ".kwwwwwwwwkk.......",
        ".kwwwwwwwwkfk......",
        ".kwwwwwwwwkffk.....",
        ".kwwwwwwwwkkkkk....",
        ".kwrrwwwwwwrrwk....",
        ".kwrwwrwrwwwrwk....",
        ".kwrwrrrrrwwrwk....",
        ".kwrwwrwrwwwrwk....",
        ".kwrwrrrrrwwrwk....",
        ".kwrwwrwrwwwrwk....",
        ".kwrrwwwwwwrrwkd...",
        ".kwwwwddddddddkrd..",
        ".kwwwdrrrrrrrrrrrd.",
        ".kwwwdrrrrrrrrrrrrd",
        ".kwwwdrrrrrrrrrrrd.",
        ".kkkkkddddddddkrd..",
        "...............d..."}, GlyphPalette);
    return canvas;
}

// Teeth around a ring, with a hole: choose an object.
Canvas DrawGlyphObjects() {
    Canvas canvas(19, 19, {0, 0, 0}, 0.0);
    const double cx = 9.5, cy = 9.5;
    const auto gear = [=](double inset) {
        return [=](double x, double y) {
            const double dx = x - cx, dy = y - cy;
            const double r = std::sqrt(dx * dx + dy * dy);
            // Eight teeth: the outline steps between 6.3 and 8.9, with sloped flanks.
            const double phase = std::fmod(std::atan2(dy, dx) / (2 * kPi) * 8 + 8.25, 1.0);
            const double tooth = std::clamp(std::min(phase, 1 - phase) * 6.0 - 0.9, 0.0, 1.0);
            const double outer = 6.3 + 2.6 * tooth;
            return r <= outer - inset && r >= 2.6 + inset;
        };
    };
    canvas.Paint(gear(0), Flat({78, 78, 84}));
    canvas.Paint(gear(1.1), [=](double x, double y) {
        return Mix({222, 222, 228}, {128, 128, 136}, ((x - cx) + (y - cy)) / 18 + 0.5);
    });
    canvas.Paint([=](double x, double y) {
        const double r = std::hypot(x - cx, y - cy);
        return r <= 4.4 && r >= 3.5;
    }, Flat({110, 110, 118}), 0.8);
    return canvas;
}

// A yellow folder: choose a file.
Canvas DrawGlyphFiles() {
    Canvas canvas(19, 19, {0, 0, 0}, 0.0);
    canvas.Stamp(0, 0, {
        "...................",
        "...................",
        "...................",
        ".oooooo............",
        "obbbbbbo...........",
        "obbbbbbbooooooooo..",
        "obbbbbbbbbbbbbbbbo.",
        "obooooooooooooooooo",
        "obohhhhhhhhhhhhhhho",
        "oboyyyyyyyyyyyyyyyo",
        "oboyyyyyyyyyyyyyyyo",
        "oboyyyyyyyyyyyyyyyo",
        "oboyyyyyyyyyyyyyyyo",
        "oboYYYYYYYYYYYYYYYo",
        "oboYYYYYYYYYYYYYYYo",
        "oboYYYYYYYYYYYYYYYo",
        "ooooooooooooooooooo",
        "...................",
        "..................."}, GlyphPalette);
    return canvas;
}

// A key cap seen from the front and a little above, with an orange lightning bolt on
// its face: the hotkey motif of the icon and the About picture.
void DrawKey(Canvas& canvas, double left, double top, double right, double bottom, double radius,
             bool bolt) {
    const double w = right - left, h = bottom - top;
    const double rim = std::max(0.75, w / 40);
    canvas.Paint(RoundRect(left, top, right, bottom, radius), Flat({34, 40, 52}));
    canvas.Paint(RoundRect(left + rim, top + rim, right - rim, bottom - rim, radius - rim),
                 Vertical({120, 130, 148}, {62, 70, 86}, top, bottom));
    const double fl = left + w * 0.12, ft = top + h * 0.05, fr = right - w * 0.12, fb = bottom - h * 0.22;
    canvas.Paint(RoundRect(fl, ft, fr, fb, radius * 0.7), Vertical({255, 255, 255}, {200, 206, 218}, ft, fb));
    if (bolt) {
        const double bw = (fr - fl) * 0.78, bh = (fb - ft) * 0.86;
        const double bl = fl + ((fr - fl) - bw) / 2, bt = ft + ((fb - ft) - bh) / 2;
        canvas.Paint(PolygonIn(kBolt, bl, bt, bl + bw, bt + bh), Vertical({255, 168, 24}, {226, 82, 0}, bt, bt + bh));
    }
}

Canvas DrawIcon(int size) {
    Canvas canvas(size, size, {0, 0, 0}, 0.0);
    const double s = size;
    if (size <= 16) {
        // Whole pixels at the smallest size, so that the key's edges and the bolt stay
        // sharp; the bolt is drawn pixel by pixel, bigger than it would scale.
        DrawKey(canvas, 0, 1, 16, 16, 3, false);
        canvas.Stamp(4, 3, {
            ".....oo.",
            "....oo..",
            "...oo...",
            "..oooooo",
            "....OO..",
            "...OO...",
            "..OO....",
            "..O....."}, [](char c, Rgb& colour) {
                colour = c == 'o' ? Rgb{255, 150, 10} : Rgb{232, 86, 0};
                return c == 'o' || c == 'O';
            });
    } else {
        DrawKey(canvas, s * 0.03, s * 0.07, s * 0.97, s * 0.97, s * 0.17, true);
    }
    return canvas;
}

// The About box's picture: three key caps on a blue ground, the front one with the bolt.
Canvas DrawAboutPicture() {
    const int size = 150;
    Canvas canvas(size, size, {0, 0, 0});
    canvas.Paint([](double, double) { return true; }, [](double x, double y) {
        const Rgb ground = Mix({24, 56, 116}, {96, 152, 214}, y / 150);
        const double glow = std::exp(-((x - 96) * (x - 96) + (y - 44) * (y - 44)) / 3200.0);
        return Mix(ground, {190, 220, 250}, glow * 0.55);
    });
    const auto shadow = [&](double l, double t, double r, double b, double radius) {
        for (int i = 0; i < 4; ++i) {
            canvas.Paint(RoundRect(l + 3 - i, t + 6 - i, r + 3 + i, b + 6 + i, radius + i), Flat({8, 16, 40}), 0.12);
        }
    };
    shadow(14, 20, 72, 74, 10);
    DrawKey(canvas, 14, 20, 72, 74, 10, false);
    shadow(82, 12, 136, 62, 10);
    DrawKey(canvas, 82, 12, 136, 62, 10, false);
    shadow(32, 58, 126, 140, 14);
    DrawKey(canvas, 32, 58, 126, 140, 14, true);
    return canvas;
}

}  // namespace

std::vector<ArtFile> GenerateArtwork() {
    std::vector<ArtFile> files;
    files.push_back({"Titulo.bmp", EncodeBmp(DrawTitulo(), {0, 0, 0})});
    files.push_back({"Panel.bmp", EncodeBmp(DrawPanel(), {0, 0, 0})});
    files.push_back({"Separator.bmp", EncodeBmp(DrawSeparator(), {0, 0, 0})});
    files.push_back({"GlyphVariables.bmp", EncodeGlyph(DrawGlyphVariables())});
    files.push_back({"GlyphObjects.bmp", EncodeGlyph(DrawGlyphObjects())});
    files.push_back({"GlyphFiles.bmp", EncodeGlyph(DrawGlyphFiles())});
    files.push_back({"MainIcon.ico", EncodeIcon({DrawIcon(16), DrawIcon(32), DrawIcon(48)})});
    files.push_back({"About.jpg", EncodeJpeg(DrawAboutPicture())});
    return files;
}

bool WriteArtwork(const std::string& folder, std::string& error) {
    for (const ArtFile& file : GenerateArtwork()) {
        const std::string path = folder + "/" + file.name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out) {
            error = "cannot write " + path;
            return false;
        }
    }
    return true;
}

}  // namespace tarvik::art
