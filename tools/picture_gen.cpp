// picture_gen: draws the program's icon and splash pictures and writes them as
// PNG resources. Run it when the look should change and commit the result:
//
//   picture_gen <resources/images>
//
// With --icons it draws only the program's icon, at each of the given sizes,
// into the freedesktop icon layout (<dir>/<n>x<n>/apps/daubry.png); the build
// runs it so that the installed icons are drawn at every size, not scaled:
//
//   picture_gen --icons <dir> 16 32 48 ...
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
              Border().Save(dir + "/40504_splash_border.png");
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!ok) std::fprintf(stderr, "picture_gen: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
