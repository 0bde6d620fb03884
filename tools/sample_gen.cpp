// sample_gen: draws the sample library that ships with the program, with the
// program's own path and gradient code, and writes it as PNG pictures with
// alpha through the program's own PNG writer:
//
//   sample_gen <samples folder> [contact sheet.png]
//
// Each collection is a folder of pictures (flowers/flower_01.png, ...) with
// its sample collection file listing them by bare name (flowers/flowers.msc),
// written by the program's own collection writer. A seeded generator of our own drives every
// choice, so every build draws the same pictures. With a second argument it also draws a contact
// sheet of all samples.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fill/file_lawn_col.h"
#include "image/file_stream.h"
#include "image/gradient.h"
#include "image/image.h"
#include "image/image_path.h"
#include "image/io/image_save.h"
#include "image/resample.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// xorshift32: the same numbers on every compiler and library.
class Random {
  public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    float Unit() { return float(Next() >> 8) / 16777216.0f; }
    float Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }
    int Int(int lo, int hi) { return lo + int(Next() % uint32_t(hi - lo + 1)); }

  private:
    uint32_t state_;
};

struct Vec {
    float x = 0, y = 0;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(Vec a, float k) {
    return {a.x * k, a.y * k};
}
Vec Polar(float radius, float angle) {
    return {radius * std::cos(angle), radius * std::sin(angle)};
}
Vec Lerp(Vec a, Vec b, float t) {
    return a + (b - a) * t;
}
Vec CubicAt(Vec p0, Vec p1, Vec p2, Vec p3, float t) {
    float u = 1 - t;
    return p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t);
}

// Local drawing coordinates to picture pixels: a turn, a scale and a move.
struct Frame {
    Vec origin;
    float angle = 0, scale = 1;
    Vec operator()(Vec p) const {
        float c = std::cos(angle), s = std::sin(angle);
        return {origin.x + scale * (c * p.x - s * p.y), origin.y + scale * (s * p.x + c * p.y)};
    }
};

uint32_t Byte(float v) {
    return uint32_t(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f));
}

// Hue 0..1 around the colour wheel, saturation and value 0..1.
mtxColor Hsv(float h, float s, float v, float a = 1) {
    h = h - std::floor(h);
    float k[3] = {5, 3, 1};
    float rgb[3];
    for (int i = 0; i < 3; ++i) {
        float t = std::fmod(k[i] + h * 6, 6.0f);
        rgb[i] = v - v * s * std::fmax(0.0f, std::fmin(std::fmin(t, 4 - t), 1.0f));
    }
    return mtxArgb(Byte(a), Byte(rgb[0]), Byte(rgb[1]), Byte(rgb[2]));
}

mtxColor Alpha(mtxColor c, float a) {
    return (c & 0xFFFFFF) | (Byte(a) << 24);
}

using Stops = std::initializer_list<std::pair<float, mtxColor>>;

// One sample picture and the path that draws into it.
class Canvas {
  public:
    explicit Canvas(int size) { image.Create(size, size, 0); }

    void Begin() { path.Clear(); }
    void Move(Vec p) { path.MoveTo(p.x, p.y); }
    void Line(Vec p) { path.LineTo(p.x, p.y); }
    void Curve(Vec c1, Vec c2, Vec p) { path.BezierTo(c1.x, c1.y, c2.x, c2.y, p.x, p.y); }
    // A smooth closed outline through the points (Catmull-Rom as Beziers).
    void Blob(const std::vector<Vec>& p) {
        const size_t n = p.size();
        Move(p[0]);
        for (size_t i = 0; i < n; ++i) {
            Vec a = p[(i + n - 1) % n], b = p[i], c = p[(i + 1) % n], d = p[(i + 2) % n];
            Curve(b + (c - a) * (1 / 6.0f), c - (d - b) * (1 / 6.0f), c);
        }
    }
    void Ellipse(Vec centre, float rx, float ry, float angle = 0) {
        std::vector<Vec> p;
        Frame f{centre, angle, 1};
        for (int i = 0; i < 12; ++i) {
            Vec q = Polar(1, 2 * kPi * float(i) / 12);
            p.push_back(f({q.x * rx, q.y * ry}));
        }
        Blob(p);
    }

    void FillSolid(mtxColor c) {
        path.brush.SetColor(c);
        path.Fill(image);
    }
    void FillRadial(Vec centre, float radius, Stops stops) {
        mtxImageGradient g;
        for (auto& s : stops) g.AddStop(s.first, s.second, mtxImageGradient::kInterpolationSine);
        g.SetRadial(centre.x, centre.y, centre.x + radius, centre.y);
        FillGradient(g);
    }
    void FillLinear(Vec from, Vec to, Stops stops) {
        mtxImageGradient g;
        for (auto& s : stops) g.AddStop(s.first, s.second);
        g.SetLinear(from.x, from.y, to.x, to.y);
        FillGradient(g);
    }
    // A line of the given width along a cubic, flattened here because the
    // pen strokes straight segments only.
    void StrokeCurve(Vec p0, Vec p1, Vec p2, Vec p3, float width, mtxColor c) {
        Begin();
        Move(p0);
        for (int i = 1; i <= 24; ++i) Line(CubicAt(p0, p1, p2, p3, float(i) / 24));
        Stroke(width, c);
    }
    void StrokeLine(Vec a, Vec b, float width, mtxColor c) {
        Begin();
        Move(a);
        Line(b);
        Stroke(width, c);
    }

    mtxImage image;
    mtxImagePath path;

  private:
    void FillGradient(const mtxImageGradient& g) {
        path.brush.gradient = g;
        path.brush.UseGradient();
        path.Fill(image);
    }
    void Stroke(float width, mtxColor c) {
        path.pen.enabled = 1;
        path.pen.width = width;
        path.pen.style = mtxImagePen::kStyleRound;
        path.pen.brush.SetColor(c);
        path.Stroke(image, 255);
    }
};

// A soft white shine, strongest at its centre.
void Shine(Canvas& c, Vec centre, float rx, float ry, float angle, float strength) {
    c.Begin();
    c.Ellipse(centre, rx, ry, angle);
    c.FillRadial(centre, std::fmax(rx, ry),
                 {{0, Alpha(0xFFFFFF, strength)}, {1, Alpha(0xFFFFFF, 0)}});
}

void DrawFlower(Canvas& c, Random& r, float hue) {
    const float size = float(c.image.width);
    const Vec centre{size / 2, size / 2};
    const int petals = r.Int(5, 9);
    const float length = size * 0.47f, width = length * r.Range(0.28f, 0.5f);
    const float turn = r.Range(0, 2 * kPi), saturation = r.Range(0.55f, 0.9f);
    const bool notched = r.Unit() < 0.3f, layered = r.Unit() < 0.5f;
    auto petal = [&](float angle, float scale, float dim) {
        Frame f{centre, angle, scale};
        c.Begin();
        c.Move(f({length * 0.08f, 0}));
        Vec tip{length, 0};
        if (notched) {
            c.Curve(f({length * 0.35f, -width}), f({length * 0.95f, -width * 1.1f}),
                    f({length, -width * 0.25f}));
            c.Line(f({length * 0.9f, 0}));
            c.Line(f({length, width * 0.25f}));
        } else {
            c.Curve(f({length * 0.35f, -width}), f({length * 0.9f, -width * 1.05f}), f(tip));
        }
        c.Curve(f({length * 0.9f, width * 1.05f}), f({length * 0.35f, width}),
                f({length * 0.08f, 0}));
        c.FillRadial(centre, length * scale,
                     {{0.0f, Hsv(hue + 0.03f, saturation, 0.55f * dim)},
                      {0.35f, Hsv(hue, saturation, 0.9f * dim)},
                      {1.0f, Hsv(hue - 0.02f, saturation * 0.35f, 1.0f * dim)}});
        // One side of each petal in shade, so that neighbours stand apart.
        c.FillLinear(f({length * 0.5f, -width * 0.9f}), f({length * 0.5f, width * 0.2f}),
                     {{0, Hsv(hue + 0.04f, saturation, 0.35f, 0.35f)},
                      {1, Hsv(hue, saturation, 0.35f, 0.0f)}});
        c.StrokeCurve(f({length * 0.2f, 0}), f({length * 0.45f, width * 0.05f}),
                      f({length * 0.65f, -width * 0.05f}), f({length * 0.85f, 0}),
                      size * 0.008f + 0.5f, Hsv(hue, saturation * 0.2f, 1.0f, 0.4f));
    };
    if (layered)
        for (int i = 0; i < petals; ++i) petal(turn + 2 * kPi * (i + 0.5f) / petals, 0.82f, 0.8f);
    for (int i = 0; i < petals; ++i) petal(turn + 2 * kPi * i / petals, 1.0f, 1.0f);
    const float disc = size * r.Range(0.09f, 0.14f);
    const float heart = r.Range(0.08f, 0.16f);  // the centre's own hue: yellows to oranges
    c.Begin();
    c.Ellipse(centre, disc, disc);
    c.FillRadial(centre - Vec{disc * 0.3f, disc * 0.3f}, disc * 1.3f,
                 {{0, Hsv(heart, 0.5f, 1.0f)},
                  {0.6f, Hsv(heart, 0.9f, 0.85f)},
                  {1, Hsv(heart - 0.05f, 0.9f, 0.45f)}});
    for (int i = 0; i < 14; ++i) {
        Vec at = centre + Polar(disc * r.Range(0.3f, 0.85f), r.Range(0, 2 * kPi));
        c.Begin();
        c.Ellipse(at, size * 0.008f + 0.6f, size * 0.008f + 0.6f);
        c.FillSolid(Hsv(heart - 0.06f, 0.9f, 0.35f, 0.7f));
    }
}

void DrawLeaf(Canvas& c, Random& r, float hue) {
    const float size = float(c.image.width);
    const float length = size * 0.82f, half = length * r.Range(0.2f, 0.32f);
    Frame f{{size / 2, size / 2}, r.Range(-0.6f, 0.6f), 1};
    const Vec base{0, length * 0.46f}, tip{0, -length * 0.5f};
    const Vec right1{half * 1.4f, length * 0.2f}, right2{half * 0.9f, -length * 0.32f};
    const float saturation = r.Range(0.55f, 0.85f), value = r.Range(0.55f, 0.8f);
    const mtxColor dark = Hsv(hue + 0.02f, saturation, value * 0.6f);
    const mtxColor light = Hsv(hue - 0.03f, saturation * 0.8f, std::fmin(1.0f, value * 1.25f));
    c.StrokeCurve(f(base), f(base + Vec{0, length * 0.04f}), f(base + Vec{-2, length * 0.07f}),
                  f(base + Vec{-4, length * 0.1f}), size * 0.022f,
                  Hsv(hue + 0.04f, saturation, value * 0.5f));
    c.Begin();
    c.Move(f(base));
    c.Curve(f(base + right1), f(right2), f(tip));
    c.Curve(f({-right2.x, right2.y}), f(base + Vec{-right1.x, right1.y}), f(base));
    c.FillLinear(f({-half, 0}), f({half, 0}),
                 {{0, light}, {0.5f, Hsv(hue, saturation, value)}, {1, dark}});
    Shine(c, f({-half * 0.35f, -length * 0.05f}), half * 0.5f, length * 0.3f, f.angle, 0.25f);
    // Midrib, then veins from it towards the edge on both sides.
    const mtxColor rib = Hsv(hue - 0.04f, saturation * 0.5f, std::fmin(1.0f, value * 1.3f), 0.8f);
    c.StrokeLine(f(base), f(tip + Vec{0, length * 0.04f}), size * 0.012f + 0.5f, rib);
    const int veins = r.Int(5, 8);
    for (int i = 1; i <= veins; ++i) {
        float u = float(i) / (veins + 1);
        Vec edge = CubicAt(base, base + right1, right2, tip, u);
        Vec from{0, edge.y + length * 0.09f};
        for (float side : {1.0f, -1.0f})
            c.StrokeLine(f({from.x, from.y}), f({edge.x * 0.78f * side, edge.y + length * 0.01f}),
                         size * 0.006f + 0.5f, Alpha(rib, 0.45f));
    }
}

void DrawPebble(Canvas& c, Random& r, float hue, float saturation, float value) {
    const float size = float(c.image.width);
    const float radius = size * 0.46f, aspect = r.Range(0.58f, 0.92f);
    Frame f{{size / 2, size / 2}, r.Range(0, kPi), 1};
    std::vector<Vec> rim;
    for (int i = 0; i < 9; ++i) {
        float a = 2 * kPi * i / 9, k = r.Range(0.82f, 1.0f);
        rim.push_back(f({radius * k * std::cos(a), radius * k * aspect * std::sin(a)}));
    }
    const Vec centre{size / 2, size / 2};
    c.Begin();
    c.Blob(rim);
    c.FillRadial(centre + Vec{-radius * 0.3f, -radius * 0.35f}, radius * 1.55f,
                 {{0, Hsv(hue, saturation * 0.6f, std::fmin(1.0f, value * 1.3f))},
                  {0.45f, Hsv(hue, saturation, value)},
                  {1, Hsv(hue + 0.02f, saturation, value * 0.45f)}});
    // Grain: small specks inside the inner part.
    const int specks = r.Int(25, 70);
    for (int i = 0; i < specks; ++i) {
        float a = r.Range(0, 2 * kPi), d = std::sqrt(r.Unit()) * 0.7f;
        Vec at = f({radius * d * std::cos(a), radius * d * aspect * std::sin(a)});
        float dot = r.Range(0.5f, 1.6f) * size / 180;
        bool pale = r.Unit() < 0.5f;
        c.Begin();
        c.Ellipse(at, dot, dot);
        c.FillSolid(pale ? Hsv(hue, saturation * 0.3f, 1.0f, 0.35f)
                         : Hsv(hue, saturation, value * 0.35f, 0.4f));
    }
    if (r.Unit() < 0.4f) {
        // A vein of quartz across the stone.
        float y = r.Range(-0.3f, 0.3f) * radius * aspect;
        c.StrokeCurve(f({-radius * 0.72f, y}), f({-radius * 0.2f, y - radius * 0.25f * aspect}),
                      f({radius * 0.2f, y + radius * 0.2f * aspect}), f({radius * 0.72f, y}),
                      size * 0.012f + 0.5f, Hsv(hue, saturation * 0.2f, 0.95f, 0.45f));
    }
    Shine(c, centre + Vec{-radius * 0.33f, -radius * 0.38f * aspect}, radius * 0.35f, radius * 0.2f,
          -0.5f, 0.45f);
}

void DrawShell(Canvas& c, Random& r, float hue) {
    const float size = float(c.image.width);
    const float radius = size * 0.48f, turn = r.Range(-0.35f, 0.35f);
    // The hinge sits below the middle so that the fan fills the picture.
    Frame f{Vec{size / 2, size / 2} + Polar(size * 0.3f, kPi / 2 + turn), turn, 1};
    const int ribs = r.Int(9, 15);
    const float from = -kPi * 0.86f, to = -kPi * 0.14f;
    const float saturation = r.Range(0.3f, 0.75f), value = r.Range(0.8f, 1.0f);
    auto at = [&](float radiusK, float angle) { return f(Polar(radius * radiusK, angle)); };
    // The ears at the hinge, under the fan.
    c.Begin();
    c.Move(f({-radius * 0.3f, radius * 0.02f}));
    c.Line(f({radius * 0.3f, radius * 0.02f}));
    c.Line(f({radius * 0.16f, -radius * 0.22f}));
    c.Line(f({-radius * 0.16f, -radius * 0.22f}));
    c.FillLinear(f({0, 0}), f({0, -radius * 0.22f}),
                 {{0, Hsv(hue, saturation, value * 0.7f)}, {1, Hsv(hue, saturation, value)}});
    // The fan with its scalloped edge.
    c.Begin();
    c.Move(f({0, 0}));
    c.Line(at(1, from));
    const float step = (to - from) / ribs;
    for (int i = 0; i < ribs; ++i) {
        float a = from + step * i;
        c.Curve(at(1.09f, a + step * 0.2f), at(1.09f, a + step * 0.8f), at(1, a + step));
    }
    c.Line(f({0, 0}));
    c.FillRadial(f({0, 0}), radius * 1.08f,
                 {{0, Hsv(hue + 0.05f, saturation * 0.25f, 1.0f)},
                  {0.5f, Hsv(hue, saturation * 0.8f, value)},
                  {1, Hsv(hue - 0.02f, saturation, value * 0.75f)}});
    // Every other rib in shade.
    for (int i = 1; i < ribs; i += 2) {
        float a = from + step * i;
        c.Begin();
        c.Move(f({0, 0}));
        c.Line(at(1, a));
        c.Curve(at(1.09f, a + step * 0.2f), at(1.09f, a + step * 0.8f), at(1, a + step));
        c.Line(f({0, 0}));
        c.FillRadial(f({0, 0}), radius * 1.08f,
                     {{0, Hsv(hue, saturation, value * 0.5f, 0.0f)},
                      {1, Hsv(hue, saturation, value * 0.5f, 0.3f)}});
    }
    // Ribs and growth rings.
    for (int i = 1; i < ribs; ++i) {
        float a = from + step * i;
        c.StrokeLine(at(0.12f, a), at(0.99f, a), size * 0.01f + 0.4f,
                     Hsv(hue, saturation, value * 0.5f, 0.45f));
    }
    for (float ring : {0.45f, 0.68f, 0.86f}) {
        Vec p0 = at(ring, from + step * 0.3f), p3 = at(ring, to - step * 0.3f);
        float mid = (from + to) / 2;
        Vec p1 = at(ring * 1.25f, mid - (to - from) * 0.3f),
            p2 = at(ring * 1.25f, mid + (to - from) * 0.3f);
        c.StrokeCurve(p0, p1, p2, p3, size * 0.008f + 0.4f, Hsv(hue, saturation * 0.3f, 1, 0.35f));
    }
    Shine(c, at(0.55f, -kPi * 0.62f), radius * 0.22f, radius * 0.12f, f.angle - 0.6f, 0.35f);
}

void DrawFeather(Canvas& c, Random& r, float hue, bool eye) {
    const float size = float(c.image.width);
    const float length = size * 0.92f, vane = size * r.Range(0.13f, 0.2f);
    Frame f{{size / 2, size / 2}, r.Range(-0.5f, 0.5f), 1};
    const float bend = r.Range(-0.12f, 0.12f) * length;
    const Vec s0{0, length * 0.5f}, s1{bend, length * 0.15f}, s2{bend, -length * 0.2f},
        s3{bend * 0.3f, -length * 0.5f};
    auto shaft = [&](float t) { return CubicAt(s0, s1, s2, s3, t); };
    auto normal = [&](float t) {
        Vec d = shaft(std::fmin(t + 0.01f, 1.0f)) - shaft(std::fmax(t - 0.01f, 0.0f));
        float n = std::hypot(d.x, d.y);
        return Vec{-d.y / n, d.x / n};
    };
    const float start = 0.18f, leftK = r.Range(0.85f, 1.1f);
    auto width = [&](float t) {
        float u = (t - start) / (1 - start);
        return vane * std::pow(std::sin(kPi * std::fmin(1.0f, u * 0.9f + 0.05f)), 0.6f) *
               (1.0f - 0.25f * u);
    };
    auto edge = [&](float t, float side) {
        float w = width(t) * (side > 0 ? 1.0f : leftK);
        return shaft(t) + normal(t) * (w * side);
    };
    const float saturation = r.Range(0.35f, 0.85f), value = r.Range(0.5f, 0.9f);
    c.Begin();
    c.Move(f(shaft(start)));
    for (int i = 0; i <= 40; ++i) c.Line(f(edge(start + (1 - start) * i / 40.0f, 1)));
    for (int i = 40; i >= 0; --i) c.Line(f(edge(start + (1 - start) * i / 40.0f, -1)));
    c.FillLinear(f(shaft(start)), f(shaft(1)),
                 {{0, Hsv(hue, saturation * 0.3f, std::fmin(1.0f, value * 1.3f))},
                  {0.4f, Hsv(hue, saturation, value)},
                  {1, Hsv(hue + 0.06f, saturation, value * 0.6f)}});
    if (eye) {
        Vec centre = f(shaft(0.72f));
        float e = width(0.72f) * 0.62f;
        const std::pair<float, mtxColor> rings[] = {{1.0f, Hsv(0.14f, 0.8f, 0.9f)},
                                                    {0.72f, Hsv(0.36f, 0.8f, 0.6f)},
                                                    {0.5f, Hsv(0.6f, 0.85f, 0.75f)},
                                                    {0.28f, Hsv(0.66f, 0.9f, 0.25f)}};
        for (const auto& ring : rings) {
            c.Begin();
            c.Ellipse(centre, e * ring.first, e * ring.first * 1.25f, f.angle);
            c.FillSolid(Alpha(ring.second, 0.9f));
        }
    }
    // Barbs: fine lines from the shaft out and up to the edge.
    for (int i = 0; i < 44; ++i) {
        float t = start + (1 - start) * (i + 0.5f) / 44;
        float out = std::fmin(1.0f, t + 0.07f);
        for (float side : {1.0f, -1.0f})
            c.StrokeLine(f(shaft(t)), f(Lerp(shaft(t), edge(out, side), 0.93f)),
                         size * 0.004f + 0.45f, Hsv(hue, saturation, value * 0.4f, 0.35f));
    }
    // The shaft, thick at the quill.
    c.StrokeCurve(f(s0), f(s1), f(s2), f(s3), size * 0.014f + 0.8f,
                  Hsv(hue, saturation * 0.2f, 0.95f, 0.95f));
}

void DrawStar(Canvas& c, Random& r, float hue) {
    const float size = float(c.image.width);
    const Vec centre{size / 2, size / 2};
    const int points = r.Int(4, 8);
    const float outer = size * 0.47f, inner = outer * r.Range(0.38f, 0.55f);
    const float turn = -kPi / 2 + r.Range(-0.3f, 0.3f);
    const float saturation = r.Range(0.55f, 0.9f);
    std::vector<Vec> corners;
    for (int i = 0; i < 2 * points; ++i)
        corners.push_back(centre + Polar(i % 2 ? inner : outer, turn + kPi * i / points));
    // The whole star first, so that the facets' shared edges show no seams.
    c.Begin();
    c.Move(corners[0]);
    for (size_t i = 1; i < corners.size(); ++i) c.Line(corners[i]);
    c.FillSolid(Hsv(hue, saturation, 0.8f));
    for (size_t i = 0; i < corners.size(); ++i) {
        Vec a = corners[i], b = corners[(i + 1) % corners.size()];
        bool lit = (i % 2 == 0) == (std::cos(turn + kPi * (i + 0.5f) / points + 0.8f) > 0);
        c.Begin();
        c.Move(centre);
        c.Line(a);
        c.Line(b);
        c.FillRadial(centre, outer,
                     {{0, Hsv(hue - 0.03f, saturation * 0.3f, 1.0f)},
                      {1, lit ? Hsv(hue, saturation, 1.0f) : Hsv(hue + 0.02f, saturation, 0.62f)}});
    }
    Shine(c, centre + Vec{-outer * 0.1f, -outer * 0.15f}, inner * 0.5f, inner * 0.35f, -0.4f, 0.5f);
}

void DrawHeart(Canvas& c, Random& r, float hue) {
    const float size = float(c.image.width);
    const float k = size * 0.5f;
    Frame f{{size / 2, size * 0.53f}, r.Range(-0.3f, 0.3f), r.Range(0.85f, 0.98f)};
    const float plump = r.Range(1.15f, 1.45f);
    c.Begin();
    c.Move(f({0, k * 0.86f}));
    c.Curve(f({-k * plump, k * 0.05f}), f({-k * 0.75f, -k * 1.05f}), f({0, -k * 0.45f}));
    c.Curve(f({k * 0.75f, -k * 1.05f}), f({k * plump, k * 0.05f}), f({0, k * 0.86f}));
    const float saturation = r.Range(0.6f, 0.95f);
    c.FillRadial(f({-k * 0.3f, -k * 0.35f}), k * 1.45f,
                 {{0, Hsv(hue - 0.02f, saturation * 0.45f, 1.0f)},
                  {0.45f, Hsv(hue, saturation, 0.9f)},
                  {1, Hsv(hue + 0.02f, saturation, 0.45f)}});
    Shine(c, f({-k * 0.42f, -k * 0.42f}), k * 0.2f, k * 0.12f, f.angle - 0.7f, 0.6f);
}

struct Collection {
    const char* folder;
    const char* stem;
};
const Collection kCollections[] = {
    {"flowers", "flower"},   {"leaves", "leaf"}, {"pebbles", "pebble"}, {"shells", "shell"},
    {"feathers", "feather"}, {"stars", "star"},  {"hearts", "heart"}};
constexpr int kPerCollection = 14;

void Draw(int collection, int index, Canvas& c, Random& r) {
    const float spread = float(index) / kPerCollection;  // colours round the wheel
    switch (collection) {
        case 0:
            DrawFlower(c, r, spread + r.Range(-0.02f, 0.02f));
            break;
        case 1: {
            // Mostly greens, then the yellows, oranges and reds of autumn.
            float hue = index < 8 ? 0.22f + 0.02f * index : 0.15f - 0.03f * (index - 8);
            DrawLeaf(c, r, hue + r.Range(-0.015f, 0.015f));
            break;
        }
        case 2: {
            static const float kStones[kPerCollection][3] = {
                {0.08f, 0.15f, 0.7f}, {0.6f, 0.12f, 0.55f}, {0.07f, 0.45f, 0.6f},
                {0.0f, 0.0f, 0.85f},  {0.02f, 0.5f, 0.5f},  {0.3f, 0.2f, 0.45f},
                {0.58f, 0.3f, 0.6f},  {0.1f, 0.3f, 0.85f},  {0.0f, 0.0f, 0.16f},
                {0.95f, 0.25f, 0.6f}, {0.12f, 0.6f, 0.75f}, {0.45f, 0.25f, 0.55f},
                {0.05f, 0.25f, 0.4f}, {0.55f, 0.05f, 0.75f}};
            const float* s = kStones[index];
            DrawPebble(c, r, s[0], s[1], s[2]);
            break;
        }
        case 3:
            DrawShell(c, r, 0.88f + 0.22f * spread);  // pinks, reds, oranges, creams
            break;
        case 4: {
            static const float kHues[kPerCollection] = {0.08f, 0.58f, 0.33f, 0.0f,  0.11f,
                                                        0.62f, 0.45f, 0.75f, 0.05f, 0.16f,
                                                        0.5f,  0.95f, 0.28f, 0.68f};
            DrawFeather(c, r, kHues[index], index % 5 == 2);
            break;
        }
        case 5:
            DrawStar(c, r, spread + 0.5f / kPerCollection);
            break;
        default:
            DrawHeart(c, r, 0.8f + 0.4f * spread + (index % 3 == 2 ? 0.35f : 0.0f));
    }
}

int Write(mtxImage& image, const std::string& path) {
    mtxFileStream<65536> file;
    if (!file.Open(path, mtxFile::kWrite | mtxFile::kCreate)) return 0;
    if (!mtxImageWritePng(image, file) || !file.Close()) {
        file.Remove();
        return 0;
    }
    return 1;
}

// All samples on light paper, one collection a row.
int WriteSheet(std::vector<std::vector<std::unique_ptr<Canvas>>>& all, const std::string& path) {
    const int cell = 72, gap = 6;
    const int columns = kPerCollection, rows = int(all.size());
    mtxImage sheet;
    sheet.Create(columns * (cell + gap) + gap, rows * (cell + gap) + gap, 0xFFF4F1EA);
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < columns; ++col) {
            mtxImage thumb;
            thumb.Create(cell, cell, 0);
            ScaleImage(all[size_t(row)][size_t(col)]->image, thumb);
            int x0 = gap + col * (cell + gap), y0 = gap + row * (cell + gap);
            for (int y = 0; y < cell; ++y)
                for (int x = 0; x < cell; ++x) {
                    mtxColor s = thumb.At(x, y), &d = sheet.At(x0 + x, y0 + y);
                    uint32_t a = mtxAlpha(s);
                    mtxColor out = 0xFF000000;
                    for (int shift = 0; shift < 24; shift += 8)
                        out |=
                            ((((s >> shift) & 255) * a + ((d >> shift) & 255) * (255 - a) + 127) /
                             255)
                            << shift;
                    d = out;
                }
        }
    return Write(sheet, path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: sample_gen <samples folder> [contact sheet.png]\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::vector<std::vector<std::unique_ptr<Canvas>>> all;
    for (int k = 0; k < int(std::size(kCollections)); ++k) {
        const Collection& collection = kCollections[k];
        std::error_code error;
        std::filesystem::create_directories(root / collection.folder, error);
        if (error) {
            std::fprintf(stderr, "sample_gen: cannot create %s: %s\n",
                         (root / collection.folder).c_str(), error.message().c_str());
            return 1;
        }
        Random r(0x9E3779B9u * uint32_t(k + 1));
        mtxFileLawnCol list((root / collection.folder / collection.folder).string() + ".msc");
        all.emplace_back();
        for (int i = 0; i < kPerCollection; ++i) {
            auto canvas = std::make_unique<Canvas>(r.Int(9, 14) * 16);  // 144 to 224 pixels
            Draw(k, i, *canvas, r);
            char name[64];
            std::snprintf(name, sizeof name, "%s_%02d.png", collection.stem, i + 1);
            std::string file = (root / collection.folder / name).string();
            if (!Write(canvas->image, file)) {
                std::fprintf(stderr, "sample_gen: cannot write %s\n", file.c_str());
                return 1;
            }
            list.AddEntry(file);
            all.back().push_back(std::move(canvas));
        }
        // Every picture lies beside the list, so it holds bare names.
        if (!list.WriteCollection()) {
            std::fprintf(stderr, "sample_gen: %s\n", list.error.c_str());
            return 1;
        }
    }
    if (argc > 2 && !WriteSheet(all, argv[2])) {
        std::fprintf(stderr, "sample_gen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
