#include "graphics/Tools.h"

#include "graphics/Exceptions.h"
#include "platform/Ascii.h"
#include "platform/DeviceContext.h" // complete type for HDC owners
#include "platform/Kernel.h"
#include "platform/Screen.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstring>
#include <vector>

namespace graphics {

// ---- Shared device objects ---------------------------------------------------------------------

// One entry per distinct tool record. Tools hold entries by shared_ptr; the entry's deleter
// takes it out of the cache, so the device object dies with the last tool that uses it.
template <class Record, class Handle> struct CacheEntry {
    Record record;
    Handle handle; // made on the first request
};

template <class Entry> class DeviceObjectCache {
  public:
    std::shared_ptr<Entry> Acquire(const decltype(Entry::record)& record) {
        std::lock_guard lock(mutex_);
        for (auto& [raw, weak] : entries_) {
            if (raw->record == record) {
                if (auto live = weak.lock())
                    return live;
            }
        }
        auto* entry = new Entry{record, {}};
        std::shared_ptr<Entry> shared(entry, [this](Entry* e) { Remove(e); });
        entries_.emplace_back(entry, shared);
        return shared;
    }

    // Creates the device object of an entry once, under the cache lock.
    template <class Make> auto& HandleOf(Entry& entry, Make make) {
        std::lock_guard lock(mutex_);
        if (!entry.handle)
            entry.handle = make(entry.record);
        return entry.handle;
    }

    size_t Size() {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

  private:
    void Remove(Entry* entry) {
        {
            std::lock_guard lock(mutex_);
            std::erase_if(entries_, [entry](const auto& e) { return e.first == entry; });
        }
        delete entry;
    }

    // Recursive: making a pattern brush converts its bitmap, which may let go of other tools.
    std::recursive_mutex mutex_;
    std::vector<std::pair<Entry*, std::weak_ptr<Entry>>> entries_;
};

struct TFont::Resource : CacheEntry<TFontRecord, platform::HFONT> {};
struct TPen::Resource : CacheEntry<TPenRecord, platform::HPEN> {};
struct TBrush::Resource : CacheEntry<TBrushRecord, platform::HBRUSH> {};

namespace {

// The caches live for the whole process (tools in static objects may outlive a local static).
DeviceObjectCache<TFont::Resource>& FontCache() {
    static auto* cache = new DeviceObjectCache<TFont::Resource>();
    return *cache;
}
DeviceObjectCache<TPen::Resource>& PenCache() {
    static auto* cache = new DeviceObjectCache<TPen::Resource>();
    return *cache;
}
DeviceObjectCache<TBrush::Resource>& BrushCache() {
    static auto* cache = new DeviceObjectCache<TBrush::Resource>();
    return *cache;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
           });
}

// A far-east locale whose stock font reports the Shift-JIS character set gets the Japanese
// proportional Gothic face at 9 points.
bool JapaneseSystem() {
    const char* locale = std::setlocale(LC_CTYPE, nullptr);
    if (locale == nullptr || std::strncmp(locale, "ja", 2) != 0)
        return false;
    platform::HDC dc = platform::CreateCompatibleDC(&platform::GetScreenDC());
    if (!dc)
        return false;
    platform::SelectObject(*dc, platform::GetStockObject(platform::DEFAULT_GUI_FONT));
    platform::TEXTMETRIC metrics;
    return platform::GetTextMetrics(*dc, metrics) &&
           metrics.tmCharSet == platform::SHIFTJIS_CHARSET;
}

} // namespace

size_t PenCacheSize() {
    return PenCache().Size();
}

// ---- TGraphicsObject ---------------------------------------------------------------------------

void TGraphicsObject::Changed() {
    if (OnChange)
        OnChange(*this);
}

TGraphicsObject::ChangeGuard::ChangeGuard(const TGraphicsObject& object)
    : lock_(object.ownerLock_) {
    if (lock_ != nullptr)
        lock_->lock();
}

TGraphicsObject::ChangeGuard::~ChangeGuard() {
    if (lock_ != nullptr)
        lock_->unlock();
}

// ---- Font --------------------------------------------------------------------------------------

int ScreenPixelsPerInch() {
    static const int ppi = [] {
        const int value = platform::GetDeviceCaps(platform::GetScreenDC(), platform::LOGPIXELSY);
        return value > 0 ? value : 96;
    }();
    return ppi;
}

const TFontRecord& DefaultFontRecord() {
    static const TFontRecord record = [] {
        TFontRecord r;
        if (JapaneseSystem()) {
            r.name = CutFontName("\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7"
                                 "\xE3\x83\x83\xE3\x82\xAF"); // MS PGothic, full-width
            r.height = -platform::MulDiv(9, ScreenPixelsPerInch(), 72);
            r.charset = platform::SHIFTJIS_CHARSET;
        } else {
            r.name = "MS Sans Serif";
            r.height = -platform::MulDiv(8, ScreenPixelsPerInch(), 72);
            r.charset = platform::DEFAULT_CHARSET;
        }
        return r;
    }();
    return record;
}

std::string CutFontName(std::string_view name) {
    return std::string(name.substr(0, platform::Utf8CutLength(name, platform::LF_FACESIZE - 1)));
}

TFont::TFont()
    : resource_(FontCache().Acquire(DefaultFontRecord())), color_(clWindowText),
      pixelsPerInch_(ScreenPixelsPerInch()) {}

TFont::~TFont() = default;

const TFontRecord& TFont::Record() const {
    return resource_->record;
}

void TFont::SetRecord(TFontRecord record) {
    if (record == resource_->record)
        return;
    {
        ChangeGuard guard(*this);
        resource_ = FontCache().Acquire(record);
    }
    Changed();
}

const std::string& TFont::Name() const {
    return Record().name;
}

void TFont::SetName(std::string_view name) {
    if (name.empty())
        return;
    TFontRecord r = Record();
    r.name = CutFontName(name);
    SetRecord(std::move(r));
}

int32_t TFont::Height() const {
    return Record().height;
}

void TFont::SetHeight(int32_t height) {
    TFontRecord r = Record();
    r.height = height;
    SetRecord(std::move(r));
}

int32_t TFont::Size() const {
    return -platform::MulDiv(Height(), 72, pixelsPerInch_);
}

void TFont::SetSize(int32_t size) {
    SetHeight(-platform::MulDiv(size, pixelsPerInch_, 72));
}

TFontStyles TFont::Style() const {
    return Record().style;
}

void TFont::SetStyle(TFontStyles style) {
    TFontRecord r = Record();
    r.style = style;
    SetRecord(std::move(r));
}

uint8_t TFont::Charset() const {
    return Record().charset;
}

void TFont::SetCharset(uint8_t charset) {
    TFontRecord r = Record();
    r.charset = charset;
    SetRecord(std::move(r));
}

TFontPitch TFont::Pitch() const {
    return Record().pitch;
}

void TFont::SetPitch(TFontPitch pitch) {
    TFontRecord r = Record();
    r.pitch = pitch;
    SetRecord(std::move(r));
}

void TFont::SetColor(TColor color) {
    if (color == color_)
        return;
    {
        ChangeGuard guard(*this);
        color_ = color;
    }
    Changed();
}

void TFont::CopyFrom(const TPersistent* source) {
    const auto* font = dynamic_cast<const TFont*>(source);
    if (font == nullptr) {
        TGraphicsObject::CopyFrom(source);
        return;
    }
    if (font == this)
        return;
    bool changed = false;
    {
        ChangeGuard guard(*this);
        if (!(font->Record() == Record())) {
            resource_ = font->resource_;
            changed = true;
        }
        if (font->color_ != color_) {
            color_ = font->color_;
            changed = true;
        }
    }
    if (changed)
        Changed();
    // The point size survives between resolutions.
    if (font->pixelsPerInch_ != pixelsPerInch_)
        SetSize(font->Size());
}

platform::LOGFONT TFont::LogFont() const {
    const TFontRecord& r = Record();
    platform::LOGFONT lf;
    lf.lfHeight = r.height;
    lf.lfWidth = 0;
    lf.lfEscapement = 0;
    lf.lfOrientation = 0;
    lf.lfWeight = r.style.Contains(fsBold) ? platform::FW_BOLD : platform::FW_NORMAL;
    lf.lfItalic = r.style.Contains(fsItalic) ? 1 : 0;
    lf.lfUnderline = r.style.Contains(fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = r.style.Contains(fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = r.charset;
    lf.lfOutPrecision = 0;
    lf.lfClipPrecision = 0;
    lf.lfQuality = 0;
    lf.lfPitchAndFamily = r.pitch == fpVariable ? platform::VARIABLE_PITCH
                          : r.pitch == fpFixed  ? platform::FIXED_PITCH
                                                : platform::DEFAULT_PITCH;
    lf.lfFaceName = EqualsNoCase(r.name, "Default") ? DefaultFontRecord().name : r.name;
    return lf;
}

platform::GdiFont& TFont::Handle() {
    const platform::LOGFONT lf = LogFont();
    auto& handle = FontCache().HandleOf(
        *resource_, [&lf](const TFontRecord&) { return platform::CreateFontIndirect(lf); });
    if (!handle)
        RaiseOutOfResources();
    return *handle;
}

// ---- Pen ---------------------------------------------------------------------------------------

int PenModeToRop2(TPenMode mode) {
    static constexpr int table[] = {
        platform::R2_BLACK,       platform::R2_WHITE,      platform::R2_NOP,
        platform::R2_NOT,         platform::R2_COPYPEN,    platform::R2_NOTCOPYPEN,
        platform::R2_MERGEPENNOT, platform::R2_MASKPENNOT, platform::R2_MERGENOTPEN,
        platform::R2_MASKNOTPEN,  platform::R2_MERGEPEN,   platform::R2_NOTMERGEPEN,
        platform::R2_MASKPEN,     platform::R2_NOTMASKPEN, platform::R2_XORPEN,
        platform::R2_NOTXORPEN,
    };
    return table[mode & 0x0F];
}

uint32_t PenStyleToDevice(TPenStyle style) {
    static constexpr uint32_t table[] = {
        platform::PS_SOLID,      platform::PS_DASH, platform::PS_DOT,         platform::PS_DASHDOT,
        platform::PS_DASHDOTDOT, platform::PS_NULL, platform::PS_INSIDEFRAME,
    };
    return style <= psInsideFrame ? table[style] : platform::PS_SOLID;
}

TPen::TPen() : resource_(PenCache().Acquire(TPenRecord{})) {}

TPen::~TPen() = default;

const TPenRecord& TPen::Record() const {
    return resource_->record;
}

void TPen::SetRecord(const TPenRecord& record) {
    if (record == resource_->record)
        return;
    {
        ChangeGuard guard(*this);
        resource_ = PenCache().Acquire(record);
    }
    Changed();
}

TColor TPen::Color() const {
    return Record().color;
}

void TPen::SetColor(TColor color) {
    TPenRecord r = Record();
    r.color = color;
    SetRecord(r);
}

int32_t TPen::Width() const {
    return Record().width;
}

void TPen::SetWidth(int32_t width) {
    if (width < 0)
        return;
    TPenRecord r = Record();
    r.width = width;
    SetRecord(r);
}

TPenStyle TPen::Style() const {
    return Record().style;
}

void TPen::SetStyle(TPenStyle style) {
    TPenRecord r = Record();
    r.style = style;
    SetRecord(r);
}

void TPen::SetMode(TPenMode mode) {
    if (mode == mode_)
        return;
    {
        ChangeGuard guard(*this);
        mode_ = mode;
    }
    Changed();
}

void TPen::CopyFrom(const TPersistent* source) {
    const auto* pen = dynamic_cast<const TPen*>(source);
    if (pen == nullptr) {
        TGraphicsObject::CopyFrom(source);
        return;
    }
    if (pen == this)
        return;
    bool changed = false;
    {
        ChangeGuard guard(*this);
        if (!(pen->Record() == Record())) {
            resource_ = pen->resource_;
            changed = true;
        }
        if (pen->mode_ != mode_) {
            mode_ = pen->mode_;
            changed = true;
        }
    }
    if (changed)
        Changed();
}

platform::GdiPen& TPen::Handle() {
    auto& handle = PenCache().HandleOf(*resource_, [](const TPenRecord& r) {
        platform::LOGPEN lp;
        lp.lopnStyle = PenStyleToDevice(r.style);
        lp.lopnWidth = {r.width, 0};
        lp.lopnColor = ToDeviceColor(r.color);
        return platform::CreatePenIndirect(lp);
    });
    if (!handle)
        RaiseOutOfResources();
    return *handle;
}

// ---- Brush -------------------------------------------------------------------------------------

TBrush::TBrush() : resource_(BrushCache().Acquire(TBrushRecord{})) {}

TBrush::~TBrush() = default;

const TBrushRecord& TBrush::Record() const {
    return resource_->record;
}

void TBrush::SetRecord(const TBrushRecord& record) {
    if (record == resource_->record)
        return;
    {
        ChangeGuard guard(*this);
        resource_ = BrushCache().Acquire(record);
    }
    Changed();
}

TColor TBrush::Color() const {
    return Record().color;
}

void TBrush::SetColor(TColor color) {
    TBrushRecord r = Record();
    r.color = color;
    if (r.style == bsClear)
        r.style = bsSolid;
    SetRecord(r);
}

TBrushStyle TBrush::Style() const {
    return Record().style;
}

void TBrush::SetStyle(TBrushStyle style) {
    TBrushRecord r = Record();
    r.style = style;
    if (style == bsClear)
        r.color = clWhite;
    SetRecord(r);
}

TBitmap* TBrush::Bitmap() const {
    return Record().bitmap;
}

void TBrush::SetBitmap(TBitmap* bitmap) {
    TBrushRecord r = Record();
    r.bitmap = bitmap;
    SetRecord(r);
}

void TBrush::CopyFrom(const TPersistent* source) {
    const auto* brush = dynamic_cast<const TBrush*>(source);
    if (brush == nullptr) {
        TGraphicsObject::CopyFrom(source);
        return;
    }
    if (brush == this || brush->Record() == Record())
        return;
    {
        ChangeGuard guard(*this);
        resource_ = brush->resource_;
    }
    Changed();
}

platform::GdiBrush& TBrush::Handle() {
    auto& handle = BrushCache().HandleOf(*resource_, [](const TBrushRecord& r) {
        if (r.bitmap != nullptr) {
            if (platform::GdiBitmap* pattern = PatternStorageOf(*r.bitmap))
                return platform::CreatePatternBrush(*pattern);
        }
        platform::LOGBRUSH lb;
        lb.lbColor = ToDeviceColor(r.color);
        if (r.style == bsSolid) {
            lb.lbStyle = platform::BS_SOLID;
        } else if (r.style == bsClear) {
            lb.lbStyle = platform::BS_NULL;
        } else {
            lb.lbStyle = platform::BS_HATCHED;
            lb.lbHatch = uint32_t(r.style) - 2;
        }
        return platform::CreateBrushIndirect(lb);
    });
    if (!handle)
        RaiseOutOfResources();
    return *handle;
}

} // namespace graphics
