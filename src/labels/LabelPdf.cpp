#include "labels/LabelPdf.h"

#include "graphics/FileReplace.h"
#include "platform/FontEngineMatch.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <new>

namespace velmora::labels {

namespace {

constexpr double kPtPerMm = 72.0 / 25.4;
constexpr double kOutlineWidthMm = 0.1;
constexpr double kOutlineGrey = 0.7;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct FaceDeleter {
    void operator()(cairo_font_face_t* face) const { cairo_font_face_destroy(face); }
};
struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;
using FacePtr = std::unique_ptr<cairo_font_face_t, FaceDeleter>;
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// A cairo face for the file the program's font matching chooses for the default sans face. The
// face is loaded from that file by cairo itself (FC_FILE), so the PDF embeds exactly that font.
FacePtr LoadFace(FontWeight weight, const std::string& regularPath) {
    platform::text::detail::FaceRequest request;
    request.weight = weight == FontWeight::bold ? 700 : 400;
    const auto file = platform::text::detail::MatchFace(request);
    if (!file)
        throw ELabelError("No sans-serif font is installed (install fonts-liberation2).");
    PatternPtr pattern(FcPatternCreate());
    if (!pattern)
        throw std::bad_alloc();
    FcPatternAddString(pattern.get(), FC_FILE,
                       reinterpret_cast<const FcChar8*>(file->path.c_str()));
    FcPatternAddInteger(pattern.get(), FC_INDEX, file->index);
    // Without a bold face, the regular one is emboldened rather than bold text going missing.
    if (weight == FontWeight::bold && file->path == regularPath)
        FcPatternAddBool(pattern.get(), FC_EMBOLDEN, FcTrue);
    FacePtr face(cairo_ft_font_face_create_for_pattern(pattern.get()));
    if (cairo_font_face_status(face.get()) != CAIRO_STATUS_SUCCESS)
        throw ELabelError("The font \"" + file->path + "\" cannot be used.");
    return face;
}

std::string RegularFacePath() {
    const auto file = platform::text::detail::MatchFace({});
    return file ? file->path : std::string();
}

cairo_status_t AppendToBuffer(void* closure, const unsigned char* data, unsigned int length) {
    try {
        static_cast<std::vector<uint8_t>*>(closure)->insert(
            static_cast<std::vector<uint8_t>*>(closure)->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
}

class CairoPdfPainter final : public LabelPainter {
  public:
    CairoPdfPainter(std::vector<uint8_t>& out, double paperWidth, double paperHeight) {
        const std::string regularPath = RegularFacePath();
        regular_ = LoadFace(FontWeight::regular, regularPath);
        bold_ = LoadFace(FontWeight::bold, regularPath);
        surface_.reset(cairo_pdf_surface_create_for_stream(
            AppendToBuffer, &out, paperWidth * kPtPerMm, paperHeight * kPtPerMm));
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_TITLE, "QSL labels");
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_CREATOR, "Velmora");
        cr_.reset(cairo_create(surface_.get()));
        // Everything is laid out in millimetres.
        cairo_scale(cr_.get(), kPtPerMm, kPtPerMm);
        Check();
    }

    // Completes the document; raises ELabelError when cairo failed at any point.
    void Finish() {
        Check();
        cr_.reset();
        cairo_surface_finish(surface_.get());
        if (const cairo_status_t status = cairo_surface_status(surface_.get());
            status != CAIRO_STATUS_SUCCESS)
            Fail(status);
    }

    double Width(std::string_view utf8, double sizePt, FontWeight weight) override {
        if (utf8.empty())
            return 0;
        SelectFont(sizePt, weight);
        const std::string text(utf8); // cairo wants a terminated string
        cairo_text_extents_t extents;
        cairo_text_extents(cr_.get(), text.c_str(), &extents);
        return extents.x_advance;
    }

    double Ascent(double sizePt, FontWeight weight) override {
        return FontExtents(sizePt, weight).ascent;
    }

    double Descent(double sizePt, FontWeight weight) override {
        return FontExtents(sizePt, weight).descent;
    }

    void BeginSheet(double paperWidth, double paperHeight) override {
        cairo_pdf_surface_set_size(surface_.get(), paperWidth * kPtPerMm, paperHeight * kPtPerMm);
    }

    void EndSheet() override { cairo_show_page(cr_.get()); }

    void DrawOutline(const RectMm& rect) override {
        cairo_save(cr_.get());
        cairo_set_source_rgb(cr_.get(), kOutlineGrey, kOutlineGrey, kOutlineGrey);
        cairo_set_line_width(cr_.get(), kOutlineWidthMm);
        cairo_rectangle(cr_.get(), rect.left, rect.top, rect.width, rect.height);
        cairo_stroke(cr_.get());
        cairo_restore(cr_.get());
    }

    void BeginLabel(const RectMm& rect) override {
        cairo_save(cr_.get());
        cairo_rectangle(cr_.get(), rect.left, rect.top, rect.width, rect.height);
        cairo_clip(cr_.get());
        cairo_translate(cr_.get(), rect.left, rect.top);
        cairo_set_source_rgb(cr_.get(), 0, 0, 0);
    }

    void EndLabel() override { cairo_restore(cr_.get()); }

    void DrawText(const PlacedText& text) override {
        SelectFont(text.sizePt, text.weight);
        cairo_move_to(cr_.get(), text.x, text.y);
        cairo_show_text(cr_.get(), text.text.c_str());
        cairo_new_path(cr_.get());
    }

    void DrawRule(const RuleLine& rule) override {
        cairo_set_line_width(cr_.get(), rule.width);
        cairo_move_to(cr_.get(), rule.x1, rule.y1);
        cairo_line_to(cr_.get(), rule.x2, rule.y2);
        cairo_stroke(cr_.get());
    }

  private:
    [[noreturn]] static void Fail(cairo_status_t status) {
        throw ELabelError(std::string("The PDF could not be made: ") +
                          cairo_status_to_string(status));
    }

    void Check() const {
        if (const cairo_status_t status = cairo_status(cr_.get()); status != CAIRO_STATUS_SUCCESS)
            Fail(status);
    }

    void SelectFont(double sizePt, FontWeight weight) {
        cairo_set_font_face(cr_.get(), weight == FontWeight::bold ? bold_.get() : regular_.get());
        cairo_set_font_size(cr_.get(), sizePt / kPtPerMm);
    }

    cairo_font_extents_t FontExtents(double sizePt, FontWeight weight) {
        SelectFont(sizePt, weight);
        cairo_font_extents_t extents;
        cairo_font_extents(cr_.get(), &extents);
        return extents;
    }

    FacePtr regular_;
    FacePtr bold_;
    SurfacePtr surface_;
    ContextPtr cr_;
};

// The PDF painter over a document nobody keeps, for its measurements.
class PdfMeasurer final : public TextMeasurer {
  public:
    double Width(std::string_view utf8, double sizePt, FontWeight weight) override {
        return painter_.Width(utf8, sizePt, weight);
    }
    double Ascent(double sizePt, FontWeight weight) override {
        return painter_.Ascent(sizePt, weight);
    }
    double Descent(double sizePt, FontWeight weight) override {
        return painter_.Descent(sizePt, weight);
    }

  private:
    std::vector<uint8_t> sink_;
    CairoPdfPainter painter_{sink_, kA4WidthMm, kA4HeightMm};
};

} // namespace

std::unique_ptr<TextMeasurer> MakePdfTextMeasurer() {
    return std::make_unique<PdfMeasurer>();
}

std::vector<uint8_t> LabelsPdf(const SheetLayout& sheet, const SheetPlacement& placement,
                               std::span<const LabelData> labels, const RenderOptions& options) {
    ValidateSheet(sheet); // before its paper size reaches cairo
    std::vector<uint8_t> bytes;
    CairoPdfPainter painter(bytes, sheet.paperWidth, sheet.paperHeight);
    RenderLabels(painter, sheet, placement, labels, options);
    painter.Finish();
    return bytes;
}

void WriteLabelsPdf(const std::string& path, const SheetLayout& sheet,
                    const SheetPlacement& placement, std::span<const LabelData> labels,
                    const RenderOptions& options) {
    const std::vector<uint8_t> bytes = LabelsPdf(sheet, placement, labels, options);
    graphics::ReplaceFileContents(path, bytes);
}

} // namespace velmora::labels
