// picture_gen: draws the program's icon, splash, control skin and tool-bar icon
// pictures and writes them as PNG resources. Run it when the look should change
// and commit the result:
//
//   picture_gen <resources/images>
//
// With --icons it draws only the program's icon, at each of the given sizes,
// into the freedesktop icon layout (<dir>/<n>x<n>/apps/daubry.png); the build
// runs it so that the installed icons are drawn at every size, not scaled:
//
//   picture_gen --icons <dir> 16 32 48 ...
//
// The control skins are grids of pieces on a magenta separator colour, as the
// toolkit's SliceSkin cuts them (see SkinSheet below).
//
// Everything is drawn from simple shapes (rotated ellipses and circles, 4 x 4
// supersampled) in a seeded order, so the output is the same on every run;
// the lettering comes from the system's sans-serif bold face through FreeType.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;  // straight colour, 0..1
};

Rgba Hex(uint32_t rgb, float a = 1) {
    return {((rgb >> 16) & 255) / 255.f, ((rgb >> 8) & 255) / 255.f, (rgb & 255) / 255.f, a};
}

Rgba Mix(Rgba x, Rgba y, float t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
            x.a + (y.a - x.a) * t};
}

class Canvas {
  public:
    Canvas(int w, int h, Rgba fill = {}) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}
    int Width() const { return w_; }
    // Shapes are given in units of 1/scale pixels, so that one drawing serves
    // every size.
    void SetScale(float scale) { scale_ = scale; }
    int Height() const { return h_; }
    Rgba& At(int x, int y) { return px_[static_cast<size_t>(y) * w_ + x]; }
    const Rgba& At(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }

    // Source-over with coverage.
    void Blend(int x, int y, Rgba c, float coverage) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_ || coverage <= 0) return;
        Rgba& d = At(x, y);
        float a = c.a * std::min(coverage, 1.f);
        float outA = a + d.a * (1 - a);
        if (outA <= 0) return;
        d.r = (c.r * a + d.r * d.a * (1 - a)) / outA;
        d.g = (c.g * a + d.g * d.a * (1 - a)) / outA;
        d.b = (c.b * a + d.b * d.a * (1 - a)) / outA;
        d.a = outA;
    }

    // A rotated ellipse, centre (cx, cy), radii (rx, ry), angle in radians;
    // the colour shades from c towards edge at the rim.
    void Ellipse(float cx, float cy, float rx, float ry, float angle, Rgba c, Rgba edge) {
        cx *= scale_, cy *= scale_, rx *= scale_, ry *= scale_;
        float reach = std::max(rx, ry) + 1;
        int x0 = static_cast<int>(std::floor(cx - reach)),
            x1 = static_cast<int>(std::ceil(cx + reach));
        int y0 = static_cast<int>(std::floor(cy - reach)),
            y1 = static_cast<int>(std::ceil(cy + reach));
        float cs = std::cos(angle), sn = std::sin(angle);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                int inside = 0;
                float depth = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) {
                        float px = x + (sx + 0.5f) / 4 - cx, py = y + (sy + 0.5f) / 4 - cy;
                        float u = (px * cs + py * sn) / rx, v = (-px * sn + py * cs) / ry;
                        float d = u * u + v * v;
                        if (d <= 1) {
                            ++inside;
                            depth += d;
                        }
                    }
                if (!inside) continue;
                float t = std::sqrt(depth / inside);
                Blend(x, y, Mix(c, edge, t * t), inside / 16.f);
            }
    }

    void Circle(float cx, float cy, float r, Rgba c, Rgba edge) {
        Ellipse(cx, cy, r, r, 0, c, edge);
    }

    // Any shape given by a signed distance (negative inside) in pixels,
    // 4 x 4 supersampled over the pixels [x0, x1) x [y0, y1); paint gives
    // the colour at a point.
    template <class Distance, class Paint>
    void Fill(int x0, int y0, int x1, int y1, Distance distance, Paint paint) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                int inside = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        if (distance(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4) <= 0) ++inside;
                if (inside) Blend(x, y, paint(x + 0.5f, y + 0.5f), inside / 16.f);
            }
    }
    void Set(int x, int y, Rgba c) {
        if (x >= 0 && y >= 0 && x < w_ && y < h_) At(x, y) = c;
    }

    // Paints an 8-bit coverage mask in colour c at (x, y).
    void Mask(const uint8_t* mask, int mw, int mh, int pitch, int x, int y, Rgba c) {
        for (int j = 0; j < mh; ++j)
            for (int i = 0; i < mw; ++i) Blend(x + i, y + j, c, mask[j * pitch + i] / 255.f);
    }

    bool Save(const std::string& path) const {
        std::vector<uint8_t> rgba(static_cast<size_t>(w_) * h_ * 4);
        for (size_t i = 0; i < px_.size(); ++i) {
            const Rgba& p = px_[i];
            rgba[i * 4 + 0] = static_cast<uint8_t>(std::lround(std::clamp(p.r, 0.f, 1.f) * 255));
            rgba[i * 4 + 1] = static_cast<uint8_t>(std::lround(std::clamp(p.g, 0.f, 1.f) * 255));
            rgba[i * 4 + 2] = static_cast<uint8_t>(std::lround(std::clamp(p.b, 0.f, 1.f) * 255));
            rgba[i * 4 + 3] = static_cast<uint8_t>(std::lround(std::clamp(p.a, 0.f, 1.f) * 255));
        }
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = w_;
        image.height = h_;
        image.format = PNG_FORMAT_RGBA;
        return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
    }

  private:
    int w_, h_;
    float scale_ = 1;
    std::vector<Rgba> px_;
};

// A small deterministic generator, so every run draws the same pictures.
struct Random {
    uint32_t state;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.f;
    }
    float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }
};

const uint32_t kPetals[] = {0xE8677A, 0xF29E4C, 0xF2C94C, 0xB07CD8, 0x6FA8DC, 0xF78FB3};
const uint32_t kLeaves[] = {0x5B9A5B, 0x7DB46C, 0x4E8A6E, 0x9CC17A};
const uint32_t kStones[] = {0x9A8F86, 0xB5ABA1, 0x7F8C8D, 0xC9B8A6};

void Flower(Canvas& c, float x, float y, float r, uint32_t petal, float turn, int petals = 6) {
    Rgba p = Hex(petal), rim = Mix(Hex(petal), Hex(0x5A2A3A), 0.25f);
    for (int i = 0; i < petals; ++i) {
        float a = turn + i * 6.2831853f / petals;
        c.Ellipse(x + std::cos(a) * r * 0.55f, y + std::sin(a) * r * 0.55f, r * 0.52f, r * 0.3f, a,
                  p, rim);
    }
    c.Circle(x, y, r * 0.28f, Hex(0xF7D774), Hex(0xC98A2B));
}

void Leaf(Canvas& c, float x, float y, float r, uint32_t color, float angle) {
    c.Ellipse(x, y, r, r * 0.38f, angle, Hex(color), Mix(Hex(color), Hex(0x1E3D23), 0.4f));
    // The midrib.
    for (float t = -0.8f; t <= 0.8f; t += 0.05f)
        c.Circle(x + std::cos(angle) * r * t, y + std::sin(angle) * r * t, r * 0.045f,
                 Hex(0xE8F2D8, 0.55f), Hex(0xE8F2D8, 0.2f));
}

void Stone(Canvas& c, float x, float y, float r, uint32_t color, float angle) {
    c.Ellipse(x + r * 0.08f, y + r * 0.12f, r, r * 0.72f, angle, Hex(0x000000, 0.18f), Hex(0, 0));
    c.Ellipse(x, y, r, r * 0.72f, angle, Mix(Hex(color), Hex(0xFFFFFF), 0.18f),
              Mix(Hex(color), Hex(0x2B2B2B), 0.3f));
}

// One of the three kinds of sample, chosen by k.
void Sample(Canvas& c, Random& rnd, float x, float y, float r, int k) {
    float turn = rnd.Range(0, 6.2831853f);
    if (k == 0)
        Flower(c, x, y, r, kPetals[static_cast<int>(rnd.Range(0, 6)) % 6], turn,
               5 + static_cast<int>(rnd.Range(0, 3)));
    else if (k == 1)
        Leaf(c, x, y, r, kLeaves[static_cast<int>(rnd.Range(0, 4)) % 4], turn);
    else
        Stone(c, x, y, r * 0.8f, kStones[static_cast<int>(rnd.Range(0, 4)) % 4], turn);
}

std::string BoldSansFile() {
    std::string file;
    if (!FcInit()) return file;
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:bold"));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result;
    if (FcPattern* m = FcFontMatch(nullptr, p, &result)) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(m, FC_FILE, 0, &path) == FcResultMatch)
            file = reinterpret_cast<char*>(path);
        FcPatternDestroy(m);
    }
    FcPatternDestroy(p);
    return file;
}

// Draws text with its baseline at y; returns the pen's end.
float Text(Canvas& c, FT_Face face, int pixels, const std::string& text, float x, float y,
           Rgba color) {
    FT_Set_Pixel_Sizes(face, 0, pixels);
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0) continue;
        FT_GlyphSlot g = face->glyph;
        c.Mask(g->bitmap.buffer, g->bitmap.width, g->bitmap.rows, g->bitmap.pitch,
               static_cast<int>(x) + g->bitmap_left, static_cast<int>(y) - g->bitmap_top, color);
        x += g->advance.x / 64.f;
    }
    return x;
}

// Drawn on a grid of 64 units at any size.
Canvas Icon(int size = 64) {
    Canvas c(size, size);
    c.SetScale(size / 64.f);
    // A rounded tile: a large soft disc and a square blend.
    c.Circle(32, 33, 30, Hex(0x000000, 0.25f), Hex(0, 0));
    c.Circle(32, 32, 30, Hex(0xFFF8EC), Hex(0xE9DCC3));
    Leaf(c, 20, 44, 13, kLeaves[0], 2.4f);
    Leaf(c, 44, 45, 11, kLeaves[1], 0.7f);
    Stone(c, 46, 20, 7, kStones[2], 0.4f);
    Flower(c, 30, 29, 20, kPetals[0], 0.3f, 6);
    Flower(c, 30, 29, 9, kPetals[2], 0.8f, 5);
    return c;
}

Canvas Background() {
    Canvas c(480, 300);
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) {
            float t = y / 299.f, s = x / 479.f;
            Rgba top = Mix(Hex(0xFBF4E6), Hex(0xF3EBDD), s),
                 bottom = Mix(Hex(0xE4EEDC), Hex(0xDCE8E4), s);
            c.At(x, y) = Mix(top, bottom, t);
        }
    // A loose mosaic of samples on the right, fading towards the text.
    Random rnd{20261206};
    for (int i = 0; i < 140; ++i) {
        float x = rnd.Range(200, 500), y = rnd.Range(-10, 310);
        float fade = std::clamp((x - 200) / 180.f, 0.15f, 1.f);
        float r = rnd.Range(7, 17) * (0.6f + 0.4f * fade);
        int kind = static_cast<int>(rnd.Range(0, 3)) % 3;
        Canvas layer(c.Width(), c.Height());
        Random shape{rnd.state};
        Sample(layer, shape, x, y, r, kind);
        rnd.Next();
        for (int yy = 0; yy < c.Height(); ++yy)
            for (int xx = std::max(0, static_cast<int>(x - 30));
                 xx < std::min(c.Width(), static_cast<int>(x + 30)); ++xx) {
                Rgba p = layer.At(xx, yy);
                if (p.a > 0) c.Blend(xx, yy, {p.r, p.g, p.b, 1}, p.a * (0.35f + 0.65f * fade));
            }
    }
    return c;
}

Canvas Title(FT_Face face) {
    Canvas c(300, 108);
    if (!face) return c;
    Text(c, face, 60, "Daubry", 3, 63, Hex(0x000000, 0.18f));
    Text(c, face, 60, "Daubry", 0, 60, Hex(0x2F3E46));
    Text(c, face, 15, "pictures made of flowers,", 3, 82, Hex(0x5C6B70));
    Text(c, face, 15, "leaves and stones", 3, 100, Hex(0x5C6B70));
    return c;
}

Canvas Border() {
    Canvas c(250, 60);
    Random rnd{77};
    for (int i = 0; i < 26; ++i) {
        float x = 12 + i * 9 + rnd.Range(-4, 4), y = rnd.Range(28, 50);
        Sample(c, rnd, x, y, rnd.Range(7, 12), i % 3);
    }
    return c;
}

// The control look: calm greys and one accent colour.
namespace look {
const uint32_t kSeparator = 0xFF00FF;  // never used inside a piece
const uint32_t kOutline = 0x7D848C;
const uint32_t kFace = 0xECEDEF;
const uint32_t kField = 0xFFFFFF;
const uint32_t kGlyph = 0x4B5159;
const uint32_t kAccent = 0x3F78B5;
const uint32_t kAccentDark = 0x2F5E92;
const uint32_t kBar = 0xE4E6E9;
}  // namespace look

float Length(float x, float y) {
    return std::sqrt(x * x + y * y);
}

// Signed distance to a rectangle [x0, x1] x [y0, y1] with corners rounded by r.
float RoundRect(float px, float py, float x0, float y0, float x1, float y1, float r) {
    float hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
    float qx = std::abs(px - (x0 + hx)) - (hx - r), qy = std::abs(py - (y0 + hy)) - (hy - r);
    return Length(std::max(qx, 0.f), std::max(qy, 0.f)) + std::min(std::max(qx, qy), 0.f) - r;
}

// Signed distance to the segment a-b thickened to radius r.
float Capsule(float px, float py, float ax, float ay, float bx, float by, float r) {
    float dx = bx - ax, dy = by - ay;
    float t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.f, 1.f);
    return Length(px - ax - t * dx, py - ay - t * dy) - r;
}

float Disc(float px, float py, float cx, float cy, float r) {
    return Length(px - cx, py - cy) - r;
}

// Signed distance to a polygon given as x, y pairs.
float Polygon(float px, float py, const std::vector<float>& v) {
    size_t n = v.size() / 2;
    float best = 1e9f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        float ax = v[2 * j], ay = v[2 * j + 1], bx = v[2 * i], by = v[2 * i + 1];
        best = std::min(best, Capsule(px, py, ax, ay, bx, by, 0));
        if ((by > py) != (ay > py) && px < (ax - bx) * (py - by) / (ay - by) + bx) inside = !inside;
    }
    return inside ? -best : best;
}

// A sheet of pieces for SliceSkin: the separator colour everywhere, pieces
// pasted in bands. Each band starts in column 0 one row below a separator
// row; the pieces of a band stand side by side with one separator column
// between them, and one separator row closes the band.
class SkinSheet {
  public:
    SkinSheet(int width, int height) : canvas(width, height, Hex(look::kSeparator)) {}
    // Starts a band of the given height below the last.
    void Band(int height) {
        top_ = bottom_ + 1;
        bottom_ = top_ + height;
        x_ = 0;
    }
    // Copies the piece [x, x + w) x [y, y + h) of source to the band's next place.
    void Piece(const Canvas& source, int x, int y, int w, int h) {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                Rgba p = source.At(x + i, y + j);
                // A fully transparent pixel keeps no colour, so it can never
                // equal the separator.
                if (p.a <= 0) p = {};
                canvas.Set(x_ + i, top_ + j, p);
            }
        x_ += w + 1;
    }
    Canvas canvas;

  private:
    int top_ = 0, bottom_ = 0, x_ = 0;
};

// The dialog frame of a 24 x 24 dialog: a 1-pixel outline rounded by 6, a
// highlight inside it, the face.
Canvas DialogFrame() {
    Canvas c(24, 24);
    c.Fill(
        0, 0, 24, 24, [](float x, float y) { return RoundRect(x, y, 0, 0, 24, 24, 6); },
        [](float x, float y) {
            float d = RoundRect(x, y, 0, 0, 24, 24, 6);
            if (d > -1.f) return Hex(look::kOutline);
            if (d > -2.f) return Hex(0xFFFFFF);
            return Hex(look::kFace);
        });
    return c;
}

// The title bar of a 24-pixel-wide dialog, 25 high: accent, lighter at the
// top, its top corners rounded like the frame, a dark line at the bottom.
Canvas TitleBar() {
    Canvas c(24, 25);
    c.Fill(
        0, 0, 24, 25, [](float x, float y) { return RoundRect(x, y, 0, 0, 24, 37, 6); },
        [](float x, float y) {
            float d = RoundRect(x, y, 0, 0, 24, 37, 6);
            if (y > 24) return Hex(look::kAccentDark);
            if (d > -1.f) return Hex(look::kAccentDark);
            Rgba top = Mix(Hex(look::kAccent), Hex(0xFFFFFF), 0.22f);
            return Mix(top, Hex(look::kAccent), y / 24.f);
        });
    return c;
}

// 3005: the dialog skin. Bands: the frame's top corners and edge, its sides
// and centre, its bottom corners and edge (8 x 8 pieces cut from a 24 x 24
// frame), then the title bar's left end, middle and right end (8 x 25).
Canvas DialogSkin() {
    Canvas frame = DialogFrame(), title = TitleBar();
    SkinSheet sheet(27, 55);
    for (int row = 0; row < 3; ++row) {
        sheet.Band(8);
        for (int col = 0; col < 3; ++col) sheet.Piece(frame, col * 8, row * 8, 8, 8);
    }
    sheet.Band(25);
    for (int col = 0; col < 3; ++col) sheet.Piece(title, col * 8, 0, 8, 25);
    return sheet.canvas;
}

// One 13 x 13 check box: checked or not, pressed (the pointer holds it) or not.
Canvas CheckBox(bool checked, bool pressed) {
    Canvas c(13, 13);
    auto box = [](float x, float y) { return RoundRect(x, y, 0, 0, 13, 13, 2.5f); };
    c.Fill(0, 0, 13, 13, box, [&](float x, float y) {
        float d = box(x, y);
        if (d > -1.f) return Hex(checked || pressed ? look::kAccentDark : look::kOutline);
        if (checked)
            return Mix(Hex(look::kAccent), Hex(0xFFFFFF), pressed ? 0.25f : 0.1f * (1 - y / 13));
        Rgba field = Mix(Hex(look::kField), Hex(0xE9EBEE), y / 13);
        return pressed ? Mix(field, Hex(look::kAccent), 0.15f) : field;
    });
    if (checked) {
        auto tick = [](float x, float y) {
            return std::min(Capsule(x, y, 3.2f, 6.8f, 5.4f, 9.2f, 0.9f),
                            Capsule(x, y, 5.4f, 9.2f, 9.8f, 3.8f, 0.9f));
        };
        c.Fill(0, 0, 13, 13, tick, [](float, float) { return Hex(0xFFFFFF); });
    }
    return c;
}

// 3014: the check-box skin, one band of four states: unchecked, checked,
// unchecked pressed, checked pressed.
Canvas CheckSkin() {
    SkinSheet sheet(4 * 14, 15);
    sheet.Band(13);
    for (int state = 0; state < 4; ++state) {
        Canvas box = CheckBox(state & 1, state & 2);
        sheet.Piece(box, 0, 0, 13, 13);
    }
    return sheet.canvas;
}

// 3011: the tool bar's background, stretched over the bar and shaded by the
// bar's shader: a light grey with a faint brushed grain.
Canvas ToolBarBackground() {
    Canvas c(256, 32);
    Random rnd{3011};
    std::vector<float> grain(32);
    for (float& g : grain) g = rnd.Range(-0.012f, 0.012f);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 256; ++x) {
            float streak = 0.006f * std::sin(x * 0.19f + y * 1.7f) + grain[y];
            Rgba base = Mix(Hex(0xF1F2F4), Hex(look::kBar), y / 31.f);
            c.At(x, y) = {base.r + streak, base.g + streak, base.b + streak, 1};
        }
    return c;
}

// The tool-bar icons, 24 x 24, grey glyphs with the accent where the tool
// acts: pointer, move, zoom, brush, fill, eraser, picker, line, rectangle,
// ellipse, lasso, wand, flower, leaf, stone.
Canvas ToolIcon(int which) {
    Canvas c(24, 24);
    Rgba glyph = Hex(look::kGlyph), accent = Hex(look::kAccent);
    auto paint = [](Rgba colour) { return [colour](float, float) { return colour; }; };
    auto ring = [](float d, float width) { return std::abs(d) - width / 2; };
    switch (which) {
        case 0: {  // pointer
            std::vector<float> arrow = {6, 3, 6, 19, 10, 15, 13, 21, 16, 20, 13, 14, 18.5f, 14};
            c.Fill(
                0, 0, 24, 24, [&](float x, float y) { return Polygon(x, y, arrow) - 0.6f; },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24, [&](float x, float y) { return Polygon(x, y, arrow) + 0.9f; },
                paint(Hex(0xFFFFFF)));
            break;
        }
        case 1: {  // move: four arrows
            auto shaft = [](float x, float y) {
                return std::min(Capsule(x, y, 12, 4, 12, 20, 1.1f),
                                Capsule(x, y, 4, 12, 20, 12, 1.1f));
            };
            c.Fill(0, 0, 24, 24, shaft, paint(glyph));
            std::vector<float> heads[4] = {{12, 1.5f, 8, 6, 16, 6},
                                           {12, 22.5f, 8, 18, 16, 18},
                                           {1.5f, 12, 6, 8, 6, 16},
                                           {22.5f, 12, 18, 8, 18, 16}};
            for (auto& h : heads)
                c.Fill(
                    0, 0, 24, 24, [&](float x, float y) { return Polygon(x, y, h); }, paint(glyph));
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Disc(x, y, 12, 12, 2.2f); },
                paint(accent));
            break;
        }
        case 2:  // zoom
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) { return Capsule(x, y, 15, 15, 20.5f, 20.5f, 2); },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Disc(x, y, 10, 10, 5.2f); },
                paint(Mix(accent, Hex(0xFFFFFF), 0.7f)));
            c.Fill(
                0, 0, 24, 24, [&](float x, float y) { return ring(Disc(x, y, 10, 10, 6.2f), 2); },
                paint(glyph));
            break;
        case 3:  // brush
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Capsule(x, y, 20, 4, 11, 13, 1.5f); },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) {
                    return std::min(Disc(x, y, 8, 16, 3.6f),
                                    Capsule(x, y, 8, 16, 3.5f, 20.5f, 1.4f));
                },
                paint(accent));
            break;
        case 4: {  // fill: a tipped bucket and a drop
            std::vector<float> bucket = {4, 11, 11, 4, 19, 12, 12, 19};
            c.Fill(
                0, 0, 24, 24, [&](float x, float y) { return Polygon(x, y, bucket) - 0.5f; },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24, [&](float x, float y) { return Polygon(x, y, bucket) + 1.5f; },
                paint(Hex(0xFFFFFF)));
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) {
                    return std::min(Disc(x, y, 19.5f, 18.5f, 2.5f),
                                    Capsule(x, y, 19.5f, 18, 19.5f, 13.5f, 0.8f));
                },
                paint(accent));
            break;
        }
        case 5: {  // eraser
            std::vector<float> body = {3, 15, 12, 6, 21, 15, 15, 21, 9, 21};
            std::vector<float> tip = {3, 15, 7.5f, 10.5f, 13.5f, 16.5f, 9, 21};
            c.Fill(
                0, 0, 24, 24, [&](float x, float y) { return Polygon(x, y, body) - 0.4f; },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24, [&](float x, float y) { return Polygon(x, y, tip) + 0.8f; },
                paint(accent));
            break;
        }
        case 6:  // picker
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Capsule(x, y, 5, 19, 15, 9, 1.3f); },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Disc(x, y, 17.5f, 6.5f, 3.2f); },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Capsule(x, y, 5, 19, 9, 15, 0.7f); },
                paint(accent));
            break;
        case 7:  // line
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Capsule(x, y, 5, 19, 19, 5, 1.1f); },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) {
                    return std::min(Disc(x, y, 5, 19, 2.4f), Disc(x, y, 19, 5, 2.4f));
                },
                paint(accent));
            break;
        case 8:  // rectangle
            c.Fill(
                0, 0, 24, 24,
                [&](float x, float y) { return ring(RoundRect(x, y, 4, 6, 20, 18, 1.5f), 1.8f); },
                paint(glyph));
            break;
        case 9:  // ellipse
            c.Fill(
                0, 0, 24, 24,
                [&](float x, float y) {
                    return ring(Length((x - 12) / 8.5f, (y - 12) / 6.5f) * 7.3f - 7.3f, 1.8f);
                },
                paint(glyph));
            break;
        case 10:  // lasso
            c.Fill(
                0, 0, 24, 24,
                [&](float x, float y) {
                    return ring(Length((x - 13) / 8, (y - 9) / 5.5f) * 6.5f - 6.5f, 1.5f);
                },
                paint(glyph));
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) {
                    return std::min(Capsule(x, y, 8, 13.5f, 6, 18, 0.8f),
                                    Capsule(x, y, 6, 18, 8.5f, 21, 0.8f));
                },
                paint(glyph));
            break;
        case 11: {  // wand
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) { return Capsule(x, y, 4, 20, 13.5f, 10.5f, 1.4f); },
                paint(glyph));
            std::vector<float> star;
            for (int i = 0; i < 10; ++i) {
                float a = -1.5707963f + i * 3.1415926f / 5, r = (i & 1) ? 2.2f : 5.2f;
                star.push_back(17 + r * std::cos(a));
                star.push_back(7 + r * std::sin(a));
            }
            c.Fill(
                0, 0, 24, 24, [&](float x, float y) { return Polygon(x, y, star); }, paint(accent));
            break;
        }
        case 12:  // flower
            for (int i = 0; i < 5; ++i) {
                float a = -1.5707963f + i * 6.2831853f / 5;
                float cx = 12 + 5.2f * std::cos(a), cy = 12 + 5.2f * std::sin(a);
                c.Fill(
                    0, 0, 24, 24, [&](float x, float y) { return Disc(x, y, cx, cy, 3.6f); },
                    paint(accent));
            }
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Disc(x, y, 12, 12, 2.8f); },
                paint(Hex(0xFFFFFF)));
            c.Fill(
                0, 0, 24, 24, [](float x, float y) { return Disc(x, y, 12, 12, 1.8f); },
                paint(glyph));
            break;
        case 13: {  // leaf
            auto leaf = [](float x, float y) {
                float u = ((x - 12) + (y - 12)) * 0.7071f, v = ((x - 12) - (y - 12)) * 0.7071f;
                return Length(u / 9.5f, v / 4.8f) * 4.8f - 4.8f;
            };
            c.Fill(0, 0, 24, 24, leaf, paint(glyph));
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) { return Capsule(x, y, 6.5f, 17.5f, 16.5f, 7.5f, 0.6f); },
                paint(Hex(0xFFFFFF)));
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) { return Capsule(x, y, 3.5f, 20.5f, 6.5f, 17.5f, 0.9f); },
                paint(glyph));
            break;
        }
        default: {  // stone
            auto stone = [](float x, float y) {
                return Length((x - 12) / 9, (y - 13) / 6.5f) * 6.5f - 6.5f;
            };
            c.Fill(0, 0, 24, 24, stone, [](float x, float y) {
                return Mix(Hex(0x8A9098), Hex(look::kGlyph),
                           std::clamp((x + y - 14) / 20, 0.f, 1.f));
            });
            c.Fill(
                0, 0, 24, 24,
                [](float x, float y) {
                    return Length((x - 9) / 3.5f, (y - 10) / 1.6f) * 1.6f - 1.6f;
                },
                paint(Hex(0xFFFFFF, 0.55f)));
            break;
        }
    }
    return c;
}

const int kToolIcons = 15;

// 3104: the sample picker's remove button, a waste bin. The picker halves its
// channels and tints it, so it is drawn light within a dark outline.
Canvas RemovePicture() {
    Canvas c(24, 24);
    auto paint = [](Rgba colour) { return [colour](float, float) { return colour; }; };
    std::vector<float> body = {6, 8.5f, 18, 8.5f, 16.8f, 21, 7.2f, 21};
    auto bin = [&](float x, float y) {
        return std::min({Polygon(x, y, body), Capsule(x, y, 4.5f, 6.5f, 19.5f, 6.5f, 1.2f),
                         std::abs(RoundRect(x, y, 9.5f, 3, 14.5f, 7, 1.2f)) - 0.8f});
    };
    c.Fill(
        0, 0, 24, 24, [&](float x, float y) { return bin(x, y) - 1.2f; }, paint(Hex(look::kGlyph)));
    c.Fill(0, 0, 24, 24, bin, paint(Hex(0xF4F6F8)));
    for (float slot : {9.6f, 12.f, 14.4f})
        c.Fill(
            0, 0, 24, 24,
            [slot](float x, float y) { return Capsule(x, y, slot, 11.5f, slot, 18.5f, 0.6f); },
            paint(Hex(look::kGlyph)));
    return c;
}

// A 32 x 32 cursor of the program: a dark shape in a white halo, so that it
// shows on any picture; its hot spot is the middle pixel (16, 16).
Canvas Cursor(int which) {
    Canvas c(32, 32);
    std::function<float(float, float)> shape;
    const float m = 16.5f;  // the middle pixel's centre
    if (which == 0) {       // move: four arrows
        shape = [m](float x, float y) {
            float d = std::min(Capsule(x, y, m, m - 11, m, m + 11, 1.1f),
                               Capsule(x, y, m - 11, m, m + 11, m, 1.1f));
            const float h = 14.5f, w = 4.5f, b = 9.5f;
            std::vector<float> heads[4] = {{m, m - h, m - w, m - b, m + w, m - b},
                                           {m, m + h, m - w, m + b, m + w, m + b},
                                           {m - h, m, m - b, m - w, m - b, m + w},
                                           {m + h, m, m + b, m - w, m + b, m + w}};
            for (auto& head : heads) d = std::min(d, Polygon(x, y, head));
            return d;
        };
    } else if (which == 1) {  // rotate: an open circle with an arrow head
        shape = [m](float x, float y) {
            float angle = std::atan2(y - m, x - m);
            float ring = std::abs(Disc(x, y, m, m, 9)) - 1.1f;
            if (angle > -0.9f && angle < 0.1f) ring = 1e9f;  // the gap
            std::vector<float> head = {m + 9 - 4.5f, m - 1.5f, m + 9 + 4.5f,
                                       m - 1.5f,     m + 9,    m + 4};
            return std::min(ring, Polygon(x, y, head));
        };
    } else {  // paint: a brush circle with a cross in the middle
        shape = [m](float x, float y) {
            float ring = std::abs(Disc(x, y, m, m, 10)) - 0.8f;
            float cross = std::min(Capsule(x, y, m - 3, m, m + 3, m, 0.6f),
                                   Capsule(x, y, m, m - 3, m, m + 3, 0.6f));
            return std::min(ring, cross);
        };
    }
    c.Fill(
        0, 0, 32, 32, [&](float x, float y) { return shape(x, y) - 1.3f; },
        [](float, float) { return Hex(0xFFFFFF); });
    c.Fill(0, 0, 32, 32, shape, [](float, float) { return Hex(0x202326); });
    return c;
}

// 3105: the tool-bar icons, one band of 24 x 24 pieces in the order of ToolIcon.
Canvas ToolIconSheet() {
    SkinSheet sheet(kToolIcons * 25, 26);
    sheet.Band(24);
    for (int i = 0; i < kToolIcons; ++i) sheet.Piece(ToolIcon(i), 0, 0, 24, 24);
    return sheet.canvas;
}

}  // namespace

// The icon at each size into <dir>/<n>x<n>/apps/daubry.png.
int DrawIcons(const std::string& dir, int count, char** sizes) {
    for (int i = 0; i < count; ++i) {
        int size = std::atoi(sizes[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "picture_gen: icon size '%s' is not 8..1024\n", sizes[i]);
            return 2;
        }
        std::string folder =
            dir + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error || !Icon(size).Save(folder + "/daubry.png")) {
            std::fprintf(stderr, "picture_gen: cannot write into %s\n", folder.c_str());
            return 1;
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--icons")
        return DrawIcons(argv[2], argc - 3, argv + 3);
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: picture_gen <resources/images>\n"
                     "       picture_gen --icons <dir> <size>...\n");
        return 2;
    }
    std::string dir = argv[1];
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string font = BoldSansFile();
    if (FT_Init_FreeType(&library) != 0 || font.empty() ||
        FT_New_Face(library, font.c_str(), 0, &face) != 0) {
        std::fprintf(stderr, "picture_gen: no bold sans-serif font found\n");
        return 1;
    }
    bool ok = Icon().Save(dir + "/40501_icon.png") &&
              Background().Save(dir + "/40502_splash.png") &&
              Title(face).Save(dir + "/40503_splash_title.png") &&
              Border().Save(dir + "/40504_splash_border.png") &&
              DialogSkin().Save(dir + "/3005_dialog_skin.png") &&
              ToolBarBackground().Save(dir + "/3011_tool_bar_background.png") &&
              CheckSkin().Save(dir + "/3014_check_box_skin.png") &&
              RemovePicture().Save(dir + "/3104_remove.png") &&
              ToolIconSheet().Save(dir + "/3105_tool_icons.png") &&
              Cursor(0).Save(dir + "/3201_cursor_move.png") &&
              Cursor(1).Save(dir + "/3202_cursor_rotate.png") &&
              Cursor(2).Save(dir + "/3203_cursor_paint.png");
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!ok) std::fprintf(stderr, "picture_gen: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
