#include "platform/FontEngine.h"

#include "platform/Ascii.h"
#include "platform/FontEngineMatch.h"
#include "platform/FontEngineUtf8.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace platform::text {
namespace {

constexpr int32_t kDefaultHeight = -11; // 8 points at 96 pixels per inch
// Larger requests are clamped so that one glyph bitmap stays a few megabytes at most.
constexpr int32_t kMaxPixelSize = 2000;
// Fonts kept alive after their last user lets go, so a card that switches between a handful
// of fonts finds their glyphs still rendered on the next draw.
constexpr size_t kRecentFonts = 16;
// Slant of a synthetic oblique, 16.16 fixed point: about 12 degrees, as FreeType's own
// FT_GlyphSlot_Oblique uses.
constexpr FT_Fixed kObliqueShear = 0x0366A;

int64_t CeilDiv(int64_t numerator, int64_t denominator) {
    return numerator >= 0 ? (numerator + denominator - 1) / denominator
                          : -((-numerator) / denominator);
}

int32_t RoundScale(int64_t units, int32_t em, int64_t unitsPerEm) {
    return int32_t(std::lround(double(units) * em / double(unitsPerEm)));
}

int32_t SaturateToInt32(int64_t value) {
    return int32_t(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

// ---- FreeType ownership ---------------------------------------------------------------------

// The process's one FreeType library. Faces hold it through a shared pointer, so it outlives
// every face whatever the order of static destruction; the process's own reference is never
// dropped.
class FreeTypeLibrary {
  public:
    static std::shared_ptr<FreeTypeLibrary> Instance() {
        static const auto* instance =
            new std::shared_ptr<FreeTypeLibrary>(std::make_shared<FreeTypeLibrary>());
        return *instance;
    }

    FreeTypeLibrary() {
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
        }
    }
    ~FreeTypeLibrary() {
        if (library_ != nullptr) {
            FT_Done_FreeType(library_);
        }
    }
    FreeTypeLibrary(const FreeTypeLibrary&) = delete;
    FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;

    FT_Library get() const { return library_; }
    // FreeType requires opening and closing faces of one library to be serialised.
    std::mutex& FaceMutex() { return faceMutex_; }

  private:
    FT_Library library_ = nullptr;
    std::mutex faceMutex_;
};

class FaceHandle {
  public:
    static std::unique_ptr<FaceHandle> Open(const std::string& path, int index) {
        std::shared_ptr<FreeTypeLibrary> library = FreeTypeLibrary::Instance();
        if (library->get() == nullptr) {
            return nullptr;
        }
        FT_Face face = nullptr;
        {
            std::lock_guard lock(library->FaceMutex());
            if (FT_New_Face(library->get(), path.c_str(), index, &face) != 0) {
                return nullptr;
            }
        }
        return std::make_unique<FaceHandle>(std::move(library), face);
    }

    FaceHandle(std::shared_ptr<FreeTypeLibrary> library, FT_Face face)
        : library_(std::move(library)), face_(face) {}
    ~FaceHandle() {
        std::lock_guard lock(library_->FaceMutex());
        FT_Done_Face(face_);
    }
    FaceHandle(const FaceHandle&) = delete;
    FaceHandle& operator=(const FaceHandle&) = delete;

    FT_Face get() const { return face_; }

  private:
    std::shared_ptr<FreeTypeLibrary> library_;
    FT_Face face_;
};

// ---- Sizing and metrics ---------------------------------------------------------------------

// The vertical extent of a scalable face in font units. The OS/2 table's Windows ascent and
// descent come first: they are what the classic platform's cell height is made of, and the
// metric-compatible faces copy them from the faces they replace.
struct DesignMetrics {
    int64_t unitsPerEm = 2048;
    int64_t ascent = 0;
    int64_t descent = 0; // positive below the baseline
    int64_t lineGap = 0;
};

const TT_OS2* Os2Table(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    return os2 != nullptr && os2->version != 0xFFFF ? os2 : nullptr;
}

DesignMetrics ReadDesignMetrics(FT_Face face) {
    DesignMetrics design;
    if (face->units_per_EM > 0) {
        design.unitsPerEm = face->units_per_EM;
    }
    if (const TT_OS2* os2 = Os2Table(face); os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        design.ascent = os2->usWinAscent;
        design.descent = os2->usWinDescent;
    } else {
        design.ascent = face->ascender;
        design.descent = -face->descender;
    }
    if (design.ascent + design.descent <= 0) {
        design.ascent = face->bbox.yMax;
        design.descent = -face->bbox.yMin;
    }
    if (design.ascent + design.descent <= 0) {
        design.ascent = design.unitsPerEm * 4 / 5;
        design.descent = design.unitsPerEm - design.ascent;
    }
    // FreeType's height is the horizontal header's ascent + descent + line gap; whatever of it
    // lies beyond the cell is the external leading.
    design.lineGap = std::max<int64_t>(0, face->height - (design.ascent + design.descent));
    return design;
}

int64_t CellHeightAt(const DesignMetrics& design, int64_t em) {
    return std::max<int64_t>(0, CeilDiv(design.ascent * em, design.unitsPerEm)) +
           std::max<int64_t>(0, CeilDiv(design.descent * em, design.unitsPerEm));
}

// A positive height asks for a cell height; the em size whose rounded-up cell comes closest
// wins, the smaller em on a tie.
int32_t EmForCellHeight(const DesignMetrics& design, int32_t cell) {
    const double guess =
        double(cell) * double(design.unitsPerEm) / double(design.ascent + design.descent);
    const auto center = int64_t(std::lround(std::clamp(guess, 1.0, double(kMaxPixelSize))));
    int64_t best = center;
    int64_t bestError = std::numeric_limits<int64_t>::max();
    for (int64_t em = std::max<int64_t>(1, center - 1);
         em <= std::min<int64_t>(kMaxPixelSize, center + 1); ++em) {
        const int64_t error = std::abs(CellHeightAt(design, em) - cell);
        if (error < bestError) {
            bestError = error;
            best = em;
        }
    }
    return int32_t(best);
}

// Underline and strike-out from the post and OS/2 tables, with proportions of common sans
// faces where a table is missing. Positions count rows from the baseline: the underline's first
// row lies underlinePosition rows below it (0 = the row just under it), the strike-out's first
// row strikeoutPosition rows above it.
void SetDecorationMetrics(FT_Face face, const DesignMetrics& design, int32_t em,
                          FontMetrics& metrics) {
    if (face->underline_thickness > 0) {
        metrics.underlineThickness =
            std::max(1, RoundScale(face->underline_thickness, em, design.unitsPerEm));
        // FreeType gives the centre of the stroke.
        const double centre = -double(face->underline_position) * em / double(design.unitsPerEm);
        metrics.underlinePosition =
            std::max(0, int32_t(std::lround(centre - metrics.underlineThickness / 2.0)));
    } else {
        metrics.underlineThickness = std::max(1, int32_t(std::lround(em / 14.0)));
        metrics.underlinePosition = std::max(0, int32_t(std::lround(em * 0.1)));
    }
    metrics.underlinePosition = std::min(metrics.underlinePosition,
                                         std::max(0, metrics.descent - metrics.underlineThickness));

    const TT_OS2* os2 = Os2Table(face);
    if (os2 != nullptr && os2->yStrikeoutSize > 0) {
        metrics.strikeoutThickness =
            std::max(1, RoundScale(os2->yStrikeoutSize, em, design.unitsPerEm));
        metrics.strikeoutPosition = RoundScale(os2->yStrikeoutPosition, em, design.unitsPerEm);
    } else {
        metrics.strikeoutThickness = metrics.underlineThickness;
        metrics.strikeoutPosition = int32_t(std::lround(em * 0.28));
    }
    metrics.strikeoutPosition = std::clamp(metrics.strikeoutPosition, metrics.strikeoutThickness,
                                           std::max(metrics.strikeoutThickness, metrics.ascent));
}

struct Sizing {
    int32_t em = 0;
    int64_t unitsPerEm = 0; // 0 for a face of bitmap strikes
    FontMetrics metrics;    // vertical metrics and decorations; widths come later
};

std::optional<Sizing> SizeScalableFace(FT_Face face, int32_t height) {
    const DesignMetrics design = ReadDesignMetrics(face);
    Sizing sizing;
    sizing.unitsPerEm = design.unitsPerEm;
    sizing.em = height < 0 ? -height : EmForCellHeight(design, height);
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(sizing.em)) != 0) {
        return std::nullopt;
    }
    FontMetrics& metrics = sizing.metrics;
    metrics.ascent = std::max(0, int32_t(CeilDiv(design.ascent * sizing.em, design.unitsPerEm)));
    metrics.descent = std::max(0, int32_t(CeilDiv(design.descent * sizing.em, design.unitsPerEm)));
    metrics.height = metrics.ascent + metrics.descent;
    metrics.internalLeading = std::max(0, metrics.height - sizing.em);
    metrics.externalLeading = std::max(0, RoundScale(design.lineGap, sizing.em, design.unitsPerEm));
    SetDecorationMetrics(face, design, sizing.em, metrics);
    return sizing;
}

// A face of bitmap strikes offers a few fixed sizes: take the one nearest to the request.
std::optional<Sizing> SizeStrikeFace(FT_Face face, int32_t height) {
    if (face->num_fixed_sizes <= 0 || face->available_sizes == nullptr) {
        return std::nullopt;
    }
    int best = 0;
    int64_t bestError = std::numeric_limits<int64_t>::max();
    for (int i = 0; i < face->num_fixed_sizes; ++i) {
        const FT_Bitmap_Size& size = face->available_sizes[i];
        const int64_t error = height < 0 ? std::abs(int64_t(size.y_ppem) - int64_t(-height) * 64)
                                         : std::abs(int64_t(size.height) - int64_t(height));
        if (error < bestError) {
            bestError = error;
            best = i;
        }
    }
    if (FT_Select_Size(face, best) != 0) {
        return std::nullopt;
    }
    Sizing sizing;
    sizing.em = std::max<int32_t>(1, int32_t(face->size->metrics.y_ppem));
    FontMetrics& metrics = sizing.metrics;
    metrics.ascent = std::max(0, int32_t(CeilDiv(face->size->metrics.ascender, 64)));
    metrics.descent = std::max(0, int32_t(CeilDiv(-face->size->metrics.descender, 64)));
    metrics.height = metrics.ascent + metrics.descent;
    metrics.internalLeading = std::max(0, metrics.height - sizing.em);
    metrics.underlineThickness = 1;
    metrics.underlinePosition = std::min(1, std::max(0, metrics.descent - 1));
    metrics.strikeoutThickness = 1;
    metrics.strikeoutPosition =
        std::clamp(int32_t(std::lround(sizing.em * 0.28)), 1, std::max(1, metrics.ascent));
    return sizing;
}

// Without any usable font, text has no width; the cell still has the proportions of a common
// sans face so that line spacing stays sensible.
FontMetrics FacelessMetrics(int32_t height) {
    const int32_t em = height < 0 ? -height : std::max(1, int32_t(std::lround(height / 1.15)));
    FontMetrics metrics;
    metrics.ascent = int32_t(std::ceil(em * 0.905));
    metrics.descent = int32_t(std::ceil(em * 0.212));
    metrics.height = metrics.ascent + metrics.descent;
    metrics.internalLeading = std::max(0, metrics.height - em);
    metrics.underlinePosition = std::min(1, metrics.descent);
    metrics.strikeoutPosition = std::max(1, int32_t(std::lround(em * 0.28)));
    return metrics;
}

bool FaceIsBold(FT_Face face) {
    if (const TT_OS2* os2 = Os2Table(face); os2 != nullptr && os2->usWeightClass > 0) {
        return os2->usWeightClass >= 600;
    }
    return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
}

// ---- Cache key ------------------------------------------------------------------------------

struct FontKey {
    int32_t height = kDefaultHeight;
    int32_t weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    uint8_t charset = DEFAULT_CHARSET;
    uint8_t pitch = DEFAULT_PITCH;
    std::string face; // lower case; every default-face name is stored as "ms sans serif"
    friend bool operator==(const FontKey&, const FontKey&) = default;
};

struct FontKeyHash {
    size_t operator()(const FontKey& key) const {
        size_t hash = std::hash<std::string>()(key.face);
        const auto mix = [&hash](uint64_t value) {
            hash ^=
                std::hash<uint64_t>()(value) + 0x9E3779B97F4A7C15ULL + (hash << 6) + (hash >> 2);
        };
        mix(uint32_t(key.height));
        mix(uint32_t(key.weight));
        mix(uint64_t(key.italic) | uint64_t(key.underline) << 1 | uint64_t(key.strikeOut) << 2 |
            uint64_t(key.charset) << 8 | uint64_t(key.pitch) << 16);
        return hash;
    }
};

FontKey MakeKey(const LOGFONT& request) {
    FontKey key;
    key.height = request.lfHeight == 0
                     ? kDefaultHeight
                     : std::clamp(request.lfHeight, -kMaxPixelSize, kMaxPixelSize);
    key.weight = request.lfWeight <= 0 ? FW_NORMAL : std::min<int32_t>(request.lfWeight, 1000);
    key.italic = request.lfItalic != 0;
    key.underline = request.lfUnderline != 0;
    key.strikeOut = request.lfStrikeOut != 0;
    key.charset = request.lfCharSet;
    key.pitch = request.lfPitchAndFamily & 0x03;
    if (detail::IsDefaultFaceName(request.lfFaceName)) {
        key.face = "ms sans serif";
    } else {
        key.face = AsciiLowerCopy(request.lfFaceName);
    }
    return key;
}

// ---- The realised font ----------------------------------------------------------------------

struct CachedGlyph {
    int32_t advance = 0;
    bool rendered = false;
    std::vector<uint8_t> coverage;
    GlyphImage image; // its coverage views the vector above
};

enum class GlyphNeed { Advance, Image };

// Turns FreeType's bitmap (8-bit grey, 1-bit or colour) into 8-bit coverage, rows top down.
void CopyCoverage(const FT_Bitmap& bitmap, CachedGlyph& glyph) {
    const auto width = int32_t(bitmap.width);
    const auto rows = int32_t(bitmap.rows);
    if (width <= 0 || rows <= 0 || bitmap.buffer == nullptr) {
        return;
    }
    const bool supported = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY ||
                           bitmap.pixel_mode == FT_PIXEL_MODE_MONO ||
                           bitmap.pixel_mode == FT_PIXEL_MODE_BGRA;
    if (!supported) {
        return;
    }
    const size_t stride = size_t(std::abs(bitmap.pitch));
    const int maxLevel = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
    glyph.coverage.resize(size_t(width) * size_t(rows));
    for (int32_t y = 0; y < rows; ++y) {
        // A negative pitch stores the bottom row first.
        const int32_t sourceRow = bitmap.pitch >= 0 ? y : rows - 1 - y;
        const uint8_t* source = bitmap.buffer + size_t(sourceRow) * stride;
        uint8_t* target = glyph.coverage.data() + size_t(y) * size_t(width);
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            if (maxLevel == 255) {
                std::memcpy(target, source, size_t(width));
            } else {
                for (int32_t x = 0; x < width; ++x) {
                    target[x] = uint8_t(std::min(255, source[x] * 255 / maxLevel));
                }
            }
        } else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (int32_t x = 0; x < width; ++x) {
                target[x] = (source[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
            }
        } else {
            for (int32_t x = 0; x < width; ++x) {
                target[x] = source[size_t(x) * 4 + 3]; // the alpha of premultiplied BGRA
            }
        }
    }
    glyph.image.width = width;
    glyph.image.rows = rows;
    glyph.image.pitch = width;
    glyph.image.coverage = glyph.coverage;
}

class FreeTypeFont final : public RealizedFont {
  public:
    // family: the name fontconfig matched, empty for the face's own name.
    FreeTypeFont(std::unique_ptr<FaceHandle> face, const FontKey& key, std::string family)
        : face_(std::move(face)) {
        std::optional<Sizing> sizing;
        if (face_) {
            FT_Face ft = face_->get();
            sizing = FT_IS_SCALABLE(ft) ? SizeScalableFace(ft, key.height)
                                        : SizeStrikeFace(ft, key.height);
        }
        if (!sizing) {
            face_.reset();
            metrics_ = FacelessMetrics(key.height);
            return;
        }
        metrics_ = sizing->metrics;
        FT_Face ft = face_->get();
        metrics_.familyName = std::move(family);
        if (metrics_.familyName.empty() && ft->family_name != nullptr) {
            metrics_.familyName = ft->family_name;
        }
        if (ft->charmap == nullptr && FT_Select_Charmap(ft, FT_ENCODING_MS_SYMBOL) == 0) {
            symbolCharmap_ = true;
        }
        // The face's own tables say what it is: fontconfig's answer already carries the
        // style it was asked for when its configuration synthesises styles itself.
        const bool scalable = FT_IS_SCALABLE(ft);
        embolden_ = scalable && key.weight >= 600 && !FaceIsBold(ft);
        oblique_ = scalable && key.italic && (ft->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
        if (embolden_) {
            // FreeType's own synthetic bold strength: a 24th of the em. The advance grows by
            // at least one pixel, as the classic platform's simulated bold does.
            emboldenStrength_ = FT_Pos(sizing->em) * 64 / 24;
            boldExtraAdvance_ = std::max<int32_t>(1, int32_t((emboldenStrength_ + 32) / 64));
        }
        SetWidthMetrics(*sizing);
    }

    const FontMetrics& Metrics() const override { return metrics_; }
    bool Synthetic() const override { return embolden_ || oblique_; }

    TextRun Layout(std::string_view utf8) override {
        TextRun run;
        run.glyphs.reserve(utf8.size()); // never fewer bytes than code points
        std::lock_guard lock(mutex_);
        int64_t pen = 0;
        for (size_t pos = 0; pos < utf8.size();) {
            const CachedGlyph& glyph = GlyphFor(detail::DecodeUtf8(utf8, pos), GlyphNeed::Image);
            run.glyphs.push_back({SaturateToInt32(pen), &glyph.image});
            pen += glyph.advance;
        }
        run.advance = SaturateToInt32(pen);
        return run;
    }

    int32_t MeasureWidth(std::string_view utf8) override {
        std::lock_guard lock(mutex_);
        int64_t pen = 0;
        for (size_t pos = 0; pos < utf8.size();) {
            pen += GlyphFor(detail::DecodeUtf8(utf8, pos), GlyphNeed::Advance).advance;
        }
        return SaturateToInt32(pen);
    }

  private:
    void SetWidthMetrics(const Sizing& sizing) {
        FT_Face ft = face_->get();
        if (GlyphIndex(U'x') != 0) {
            metrics_.aveCharWidth = GlyphFor(U'x', GlyphNeed::Advance).advance;
        } else if (const TT_OS2* os2 = Os2Table(ft); os2 && sizing.unitsPerEm > 0) {
            metrics_.aveCharWidth =
                RoundScale(os2->xAvgCharWidth, sizing.em, sizing.unitsPerEm) + boldExtraAdvance_;
        } else {
            metrics_.aveCharWidth = std::max(1, sizing.em / 2);
        }
        metrics_.maxCharWidth =
            sizing.unitsPerEm > 0
                ? int32_t(CeilDiv(int64_t(ft->max_advance_width) * sizing.em, sizing.unitsPerEm))
                : int32_t(CeilDiv(ft->size->metrics.max_advance, 64));
        metrics_.maxCharWidth =
            std::max(metrics_.maxCharWidth + boldExtraAdvance_, metrics_.aveCharWidth);
    }

    FT_UInt GlyphIndex(char32_t codePoint) const {
        if (!face_) {
            return 0;
        }
        FT_Face ft = face_->get();
        // Symbol fonts put their characters at U+F000 onwards.
        if (symbolCharmap_ && codePoint < 0x100) {
            if (const FT_UInt index = FT_Get_Char_Index(ft, 0xF000 + codePoint); index != 0) {
                return index;
            }
        }
        return FT_Get_Char_Index(ft, codePoint);
    }

    // Callers hold mutex_. Entries are never removed, so the returned reference (and the image
    // inside it) stays valid as long as the font.
    const CachedGlyph& GlyphFor(char32_t codePoint, GlyphNeed need) {
        const FT_UInt index = GlyphIndex(codePoint);
        auto [it, inserted] = glyphs_.try_emplace(index);
        CachedGlyph& glyph = it->second;
        if (inserted || (need == GlyphNeed::Image && !glyph.rendered)) {
            Load(glyph, index, need, inserted);
        }
        return glyph;
    }

    // The advance is taken once, from the first load, so measuring and drawing can never
    // disagree even if a later load of the same glyph failed.
    void Load(CachedGlyph& glyph, FT_UInt index, GlyphNeed need, bool first) {
        if (!face_) {
            glyph.rendered = true;
            return;
        }
        FT_Face ft = face_->get();
        if (FT_Load_Glyph(ft, index, FT_LOAD_DEFAULT) != 0) {
            glyph.rendered = true;
            return;
        }
        FT_GlyphSlot slot = ft->glyph;
        if (first) {
            const auto advance = int32_t((slot->advance.x + 32) >> 6);
            glyph.advance = std::max(0, advance) + (advance > 0 ? boldExtraAdvance_ : 0);
        }
        if (need == GlyphNeed::Advance) {
            return;
        }
        glyph.rendered = true;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (embolden_) {
                FT_Outline_Embolden(&slot->outline, emboldenStrength_);
            }
            if (oblique_) {
                FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
                FT_Outline_Transform(&slot->outline, &shear);
            }
        }
        if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
            return;
        }
        CopyCoverage(slot->bitmap, glyph);
        glyph.image.left = slot->bitmap_left;
        glyph.image.top = slot->bitmap_top;
    }

    std::unique_ptr<FaceHandle> face_; // empty when no font could be opened
    FontMetrics metrics_;
    bool symbolCharmap_ = false;
    bool embolden_ = false;
    bool oblique_ = false;
    FT_Pos emboldenStrength_ = 0;
    int32_t boldExtraAdvance_ = 0;
    std::mutex mutex_; // guards the face's glyph slot and the cache
    std::unordered_map<FT_UInt, CachedGlyph> glyphs_;
};

std::shared_ptr<RealizedFont> Realize(const FontKey& key) {
    detail::FaceRequest request{key.face, key.weight, key.italic, key.pitch == FIXED_PITCH,
                                key.charset};
    std::optional<detail::FaceFile> file = detail::MatchFace(request);
    std::unique_ptr<FaceHandle> face = file ? FaceHandle::Open(file->path, file->index) : nullptr;
    if (!face && !detail::IsDefaultFaceName(request.family)) {
        // A matched file that FreeType cannot read: the default face is the next best thing.
        request.family.clear();
        file = detail::MatchFace(request);
        face = file ? FaceHandle::Open(file->path, file->index) : nullptr;
    }
    std::string family = face && file ? std::move(file->family) : std::string();
    return std::make_shared<FreeTypeFont>(std::move(face), key, std::move(family));
}

// ---- The cache of realised fonts --------------------------------------------------------------

class FontCache {
  public:
    // Never destroyed: fonts held by graphics objects in static storage leave it at exit.
    static FontCache& Instance() {
        static auto* cache = new FontCache();
        return *cache;
    }

    std::shared_ptr<RealizedFont> Get(const FontKey& key) {
        std::lock_guard lock(mutex_);
        if (const auto found = fonts_.find(key); found != fonts_.end()) {
            if (std::shared_ptr<RealizedFont> font = found->second.lock()) {
                KeepRecent(font);
                return font;
            }
        }
        std::erase_if(fonts_, [](const auto& entry) { return entry.second.expired(); });
        std::shared_ptr<RealizedFont> font = Realize(key);
        fonts_.insert_or_assign(key, font);
        KeepRecent(font);
        return font;
    }

  private:
    FontCache() { recent_.reserve(kRecentFonts); }

    void KeepRecent(const std::shared_ptr<RealizedFont>& font) {
        const auto found = std::find(recent_.begin(), recent_.end(), font);
        if (found != recent_.end()) {
            std::rotate(recent_.begin(), found, found + 1);
            return;
        }
        if (recent_.size() == kRecentFonts) {
            recent_.pop_back();
        }
        recent_.insert(recent_.begin(), font);
    }

    std::mutex mutex_;
    std::unordered_map<FontKey, std::weak_ptr<RealizedFont>, FontKeyHash> fonts_;
    std::vector<std::shared_ptr<RealizedFont>> recent_; // most recently requested first
};

} // namespace

std::shared_ptr<RealizedFont> RealizedFont::Get(const LOGFONT& request) {
    return FontCache::Instance().Get(MakeKey(request));
}

} // namespace platform::text
