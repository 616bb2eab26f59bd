// Paints the blank card template that Verify uses when no background has been chosen: a light
// 495 x 315 card, calm where the overlay writes (the title at the top, the address block, the
// rig lines, the thanks line and the contact table) and decorated only away from it, with a
// faint globe and radio waves on the right and a paler panel under the contact table.
//
// Usage: velmora-make-blankcard OUTPUT.jpg
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Exceptions.h"
#include "graphics/Tools.h"
#include "jpeg/JPEGImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <span>
#include <vector>

namespace {

constexpr int kWidth = 495;
constexpr int kHeight = 315;

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The card in floating point, composed layer by layer before it becomes a bitmap.
class Image {
  public:
    Image() : pixels_(size_t(kWidth) * kHeight) {}
    Rgb& At(int x, int y) { return pixels_[size_t(y) * kWidth + size_t(x)]; }
    void Blend(int x, int y, Rgb colour, double alpha) {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || alpha <= 0)
            return;
        At(x, y) = Mix(At(x, y), colour, std::min(alpha, 1.0));
    }

  private:
    std::vector<Rgb> pixels_;
};

// Ivory at the top left to a pale sky blue at the bottom right, with a faint lighter glow
// behind the title.
void PaintGround(Image& image) {
    const Rgb ivory{253, 250, 242};
    const Rgb sky{226, 236, 247};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double t = std::clamp(0.35 * x / kWidth + 0.65 * y / kHeight, 0.0, 1.0);
            Rgb c = Mix(ivory, sky, t * t * (3 - 2 * t));
            const double dx = (x - kWidth / 2.0) / 230.0;
            const double dy = (y - 30.0) / 55.0;
            const double glow = std::exp(-(dx * dx + dy * dy));
            c = Mix(c, Rgb{255, 255, 252}, 0.55 * glow);
            image.At(x, y) = c;
        }
    }
}

// Coverage of a pixel by a shape, from 4 x 4 samples.
template <typename Inside> double Coverage(int x, int y, Inside inside) {
    int hits = 0;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0))
                ++hits;
        }
    }
    return hits / 16.0;
}

// An orthographic globe, tilted toward the viewer, with meridians and parallels every 30
// degrees, a faintly tinted disc and its rim.
void PaintGlobe(Image& image, double cx, double cy, double radius) {
    const Rgb ink{52, 96, 160};
    const double tilt = 22.0 * std::numbers::pi / 180.0;
    const double spin = 18.0 * std::numbers::pi / 180.0;
    const double step = std::numbers::pi / 6.0;
    // About 1.1 pixels of line, as an angle on the sphere's face.
    const double lineAngle = 1.1 / radius;

    const auto onGrid = [&](double px, double py) {
        const double u = (px - cx) / radius;
        const double v = (py - cy) / radius;
        const double rr = u * u + v * v;
        if (rr > 1.0)
            return false;
        const double z = std::sqrt(1.0 - rr);
        // Rotate the visible point back by the tilt about the horizontal axis.
        const double y3 = v * std::cos(tilt) - z * std::sin(tilt);
        const double z3 = v * std::sin(tilt) + z * std::cos(tilt);
        const double latitude = std::asin(std::clamp(-y3, -1.0, 1.0));
        const double longitude = std::atan2(u, z3) + spin;
        const double latOff = std::remainder(latitude, step);
        // Meridians close up near the poles: keep their width even on the screen.
        const double lonOff = std::remainder(longitude, step) * std::cos(latitude);
        return std::abs(latOff) < lineAngle / 2 ||
               (std::abs(lonOff) < lineAngle / 2 && std::abs(latitude) < 1.4);
    };
    const auto inDisc = [&](double px, double py) {
        return std::hypot(px - cx, py - cy) <= radius;
    };
    const auto onRim = [&](double px, double py) {
        return std::abs(std::hypot(px - cx, py - cy) - radius) < 0.7;
    };

    const int x0 = int(cx - radius - 2);
    const int x1 = int(cx + radius + 2);
    const int y0 = int(cy - radius - 2);
    const int y1 = int(cy + radius + 2);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            image.Blend(x, y, Rgb{205, 222, 242}, 0.30 * Coverage(x, y, inDisc));
            image.Blend(x, y, ink, 0.20 * Coverage(x, y, onGrid));
            image.Blend(x, y, ink, 0.34 * Coverage(x, y, onRim));
        }
    }
}

// Three arcs spreading from the globe like a signal, fading toward their ends.
void PaintWaves(Image& image, double cx, double cy, double radius) {
    const Rgb ink{52, 96, 160};
    const double from = -38.0 * std::numbers::pi / 180.0;
    const double to = 38.0 * std::numbers::pi / 180.0;
    for (int k = 0; k < 3; ++k) {
        const double r = radius + 9.0 + 8.0 * k;
        const double strength = 0.26 - 0.06 * k;
        for (int y = int(cy - r - 2); y <= int(cy + r + 2); ++y) {
            for (int x = int(cx); x <= int(cx + r + 2); ++x) {
                const double angle = std::atan2(y + 0.5 - cy, x + 0.5 - cx);
                if (angle < from || angle > to)
                    continue;
                const double fade = std::sin((angle - from) / (to - from) * std::numbers::pi);
                const double cover = Coverage(x, y, [&](double px, double py) {
                    return std::abs(std::hypot(px - cx, py - cy) - r) < 0.75;
                });
                image.Blend(x, y, ink, strength * fade * cover);
            }
        }
    }
}

// A paler rounded panel under the contact table (the overlay's frame is 50..470 x 250..300), so
// the table's small print reads well on any part of the gradient.
void PaintTablePanel(Image& image) {
    const double left = 43, top = 243, right = 477, bottom = 307, corner = 7;
    const auto inside = [&](double px, double py) {
        const double qx = std::max({left + corner - px, 0.0, px - (right - corner)});
        const double qy = std::max({top + corner - py, 0.0, py - (bottom - corner)});
        return qx * qx + qy * qy <= corner * corner;
    };
    const auto onEdge = [&](double px, double py) {
        const double qx = std::max({left + corner - px, 0.0, px - (right - corner)});
        const double qy = std::max({top + corner - py, 0.0, py - (bottom - corner)});
        const double d = std::hypot(qx, qy);
        return d <= corner && d > corner - 0.9;
    };
    for (int y = int(top) - 1; y <= int(bottom) + 1; ++y) {
        for (int x = int(left) - 1; x <= int(right) + 1; ++x) {
            image.Blend(x, y, Rgb{255, 255, 255}, 0.62 * Coverage(x, y, inside));
            image.Blend(x, y, Rgb{120, 150, 195}, 0.30 * Coverage(x, y, onEdge));
        }
    }
}

// A hairline under the title, fading out at both ends, between the call sign and the operator.
void PaintTitleRule(Image& image) {
    const Rgb ink{52, 96, 160};
    constexpr int y = 65;
    for (int x = 60; x < kWidth - 60; ++x) {
        const double t = (x - 60.0) / (kWidth - 120.0);
        image.Blend(x, y, ink, 0.28 * std::sin(t * std::numbers::pi));
    }
}

uint8_t Byte(double v) {
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

void CopyInto(Image& image, graphics::TBitmap& bitmap) {
    bitmap.SetPixelFormat(graphics::pf24bit);
    bitmap.SetSize(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        const std::span<uint8_t> row = bitmap.RowAddress(y);
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = image.At(x, y);
            row[size_t(x) * 3] = Byte(c.b);
            row[size_t(x) * 3 + 1] = Byte(c.g);
            row[size_t(x) * 3 + 2] = Byte(c.r);
        }
    }
}

// The frame, drawn with the canvas's pen: a navy edge of two pixels and an inner line that
// leaves the top open where the country line is centred.
void DrawFrame(graphics::TBitmap& bitmap) {
    graphics::TCanvas& canvas = bitmap.Canvas();
    canvas.Brush().SetStyle(graphics::bsClear);
    canvas.Pen().SetStyle(graphics::psSolid);
    canvas.Pen().SetWidth(1);

    canvas.Pen().SetColor(graphics::TColor(0x784A2A)); // navy (blue 0x78, green 0x4A, red 0x2A)
    canvas.DrawRectangle(0, 0, kWidth, kHeight);
    canvas.DrawRectangle(1, 1, kWidth - 1, kHeight - 1);

    constexpr int inset = 5;
    constexpr int gapLeft = 70;
    constexpr int gapRight = kWidth - 70;
    canvas.Pen().SetColor(graphics::TColor(0xC8A888)); // soft blue-grey
    const auto line = [&](int x1, int y1, int x2, int y2) {
        canvas.MovePenTo(x1, y1);
        canvas.DrawLineTo(x2, y2);
    };
    line(gapLeft, inset, inset, inset);
    line(inset, inset, inset, kHeight - 1 - inset);
    line(inset, kHeight - 1 - inset, kWidth - 1 - inset, kHeight - 1 - inset);
    line(kWidth - 1 - inset, kHeight - 1 - inset, kWidth - 1 - inset, inset);
    line(kWidth - 1 - inset, inset, gapRight, inset);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.jpg\n", argv[0]);
        return 2;
    }
    try {
        Image image;
        PaintGround(image);
        constexpr double globeX = 405, globeY = 170, globeRadius = 48;
        PaintGlobe(image, globeX, globeY, globeRadius);
        PaintWaves(image, globeX, globeY, globeRadius);
        PaintTablePanel(image);
        PaintTitleRule(image);

        graphics::TBitmap bitmap;
        CopyInto(image, bitmap);
        DrawFrame(bitmap);

        jpeg::InitializeJPEGImageUnit();
        jpeg::TJPEGImage picture;
        picture.CopyFrom(&bitmap);
        picture.WriteToFile(argv[1]);
    } catch (const graphics::Exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
