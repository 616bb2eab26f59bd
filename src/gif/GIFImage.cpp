#include "gif/GIFImage.h"

#include "gif/GIFDecoder.h"
#include "graphics/Bitmap.h"
#include "graphics/Stream.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace gif {
namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

constexpr uint8_t kTextLabel = 0x01;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kApplicationLabel = 0xFF;

// Decoded pixels of one frame, and of all frames of one image, may not pass these.
uint64_t gMaxFramePixels = kDefaultMaxFramePixels;
uint64_t gMaxDecodedBytes = kDefaultMaxDecodedBytes;

const std::string sLoading = "Loading...";

TApplicationIdentifier ToIdentifier(std::string_view text) {
    TApplicationIdentifier id{};
    std::memcpy(id.data(), text.data(), std::min(text.size(), id.size()));
    return id;
}

template <class T> std::unique_ptr<TGIFExtension> Make(TGIFSubImage& frame) {
    return std::make_unique<T>(frame);
}

const TGIFExtensionClass* ResolveSelf(const TGIFExtensionClass& self, ByteReader&) {
    return &self;
}

// The class-level step of the application extension classes. It reads on without moving back
// when it names another class, so a chain of calls reads on through the block.
const TGIFExtensionClass* ResolveApplication(const TGIFExtensionClass& self, ByteReader& stream) {
    const int64_t start = stream.Position();
    uint8_t blockSize = 0;
    if (!stream.ReadByte(blockSize))
        return nullptr;
    if (blockSize == 10) {
        std::array<uint8_t, 10> bytes{};
        return stream.Read(bytes) == bytes.size() ? &TGIFUnknownAppExtension::Class() : nullptr;
    }
    if (blockSize >= 11) {
        TApplicationIdentifier id{};
        if (stream.Read(id) == id.size()) {
            if (blockSize > 11)
                return &TGIFUnknownAppExtension::Class();
            const TGIFExtensionClass* found = AppExtensionRegistry().Find(id);
            return found ? found : &TGIFUnknownAppExtension::Class();
        }
    }
    stream.Seek(start - stream.Position());
    return &self;
}

} // namespace

void SetDecodeLimitsForTesting(uint64_t framePixels, uint64_t totalBytes) {
    gMaxFramePixels = framePixels;
    gMaxDecodedBytes = totalBytes;
}

void ReadExact(ByteReader& stream, std::span<uint8_t> out) {
    if (stream.Read(out) != out.size())
        throw GIFException(sPrematureEnd);
}

void ReadSubBlockStrings(ByteReader& stream, std::vector<std::string>& list) {
    list.clear();
    uint8_t size = 0;
    std::array<uint8_t, 255> bytes{};
    while (stream.ReadByte(size) && size != 0) {
        const auto block = std::span(bytes).first(size);
        ReadExact(stream, block);
        const auto end = std::find(block.begin(), block.end(), uint8_t(0));
        list.emplace_back(block.begin(), end);
    }
}

// ---- Items ------------------------------------------------------------------------------------

void TGIFItem::ReportWarning(int severity, const std::string& message) {
    if (image_)
        image_->Warning(*this, severity, message);
}

void TGIFList::ReportWarning(int severity, const std::string& message) {
    if (image_)
        image_->Warning(*this, severity, message);
}

// ---- Colour tables ----------------------------------------------------------------------------

void TGIFColorMap::Reserve(int count) {
    // 16 entries for small tables, otherwise whole multiples of 32, never above 256.
    const int capacity = count <= 16 ? 16 : std::min(256, (count + 31) / 32 * 32);
    if (capacity > Capacity())
        entries_.resize(size_t(capacity));
}

void TGIFColorMap::Clear() {
    entries_.clear();
    count_ = 0;
    sorted_ = false;
}

void TGIFColorMap::LoadFromStream(ByteReader& stream, int count) {
    Clear();
    count = std::clamp(count, 0, 256);
    Reserve(count);
    std::array<uint8_t, 3 * 256> bytes{};
    const auto raw = std::span(bytes).first(size_t(count) * 3);
    ReadExact(stream, raw);
    for (int i = 0; i < count; ++i)
        entries_[size_t(i)] = {raw[size_t(i) * 3], raw[size_t(i) * 3 + 1], raw[size_t(i) * 3 + 2]};
    count_ = count;
    Changed();
}

platform::HPALETTE TGIFColorMap::MakePalette() const {
    platform::LOGPALETTE logical;
    logical.palVersion = 0x300;
    logical.palPalEntry.reserve(size_t(count_));
    for (const TGIFColor& c : Colors())
        logical.palPalEntry.push_back({c.Red, c.Green, c.Blue, 0});
    return platform::CreatePalette(logical);
}

void TGIFGlobalColorMap::ReportWarning(int severity, const std::string& message) {
    header_.ReportWarning(severity, message);
}

void TGIFGlobalColorMap::Changed() {
    if (header_.Image())
        header_.Image()->ReleasePalette();
}

void TGIFLocalColorMap::ReportWarning(int severity, const std::string& message) {
    frame_.ReportWarning(severity, message);
}

void TGIFLocalColorMap::Changed() {
    frame_.palette_.reset();
}

// ---- Header -----------------------------------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImage* image) : TGIFItem(image), colorMap_(*this) {}

void TGIFHeader::Clear() {
    colorMap_.Clear();
    descriptor_.ScreenWidth = 0;
    descriptor_.ScreenHeight = 0;
    descriptor_.PackedFields = 0; // no global colour table any more
}

void TGIFHeader::LoadFromStream(ByteReader& stream) {
    std::array<uint8_t, 6> signature{};
    ReadExact(stream, signature);
    for (int i = 0; i < 3; ++i) {
        const uint8_t upper = signature[size_t(i)] >= 'a' && signature[size_t(i)] <= 'z'
                                  ? uint8_t(signature[size_t(i)] - 'a' + 'A')
                                  : signature[size_t(i)];
        if (upper != uint8_t("GIF"[i]))
            throw GIFException(sInvalidGIFSignature);
    }
    std::array<uint8_t, 7> lsd{};
    ReadExact(stream, lsd);
    descriptor_.ScreenWidth = platform::ReadLe16(lsd, 0);
    descriptor_.ScreenHeight = platform::ReadLe16(lsd, 2);
    descriptor_.PackedFields = lsd[4];
    descriptor_.BackgroundColorIndex = lsd[5];
    descriptor_.AspectRatio = lsd[6];
    if (descriptor_.PackedFields & 0x80)
        colorMap_.LoadFromStream(stream, 2 << (descriptor_.PackedFields & 7));
    else
        colorMap_.Clear();
}

// ---- Extensions -------------------------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImage& frame) : TGIFItem(frame.Image()), frame_(frame) {}

void TGIFExtension::LoadFromStream(ByteReader& stream) {
    std::array<uint8_t, 2> head{};
    ReadExact(stream, head);
    if (head[0] != kExtensionIntroducer)
        throw GIFException(sInvalidExtensionIntroducer);
    if (head[1] != ExtensionLabel())
        throw GIFException(sExtensionLabelMismatch);
    LoadBody(stream);
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage& frame)
    : TGIFExtension(frame) {
    if (!frame.gce_)
        frame.gce_ = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    TGIFSubImage& frame = SubImage();
    if (frame.gce_ == this)
        frame.gce_ = nullptr;
    if (Transparent())
        frame.hasTransparency_ = false;
}

const TGIFExtensionClass& TGIFGraphicControlExtension::Class() {
    static const TGIFExtensionClass c{"TGIFGraphicControlExtension", kGraphicControlLabel,
                                      ResolveSelf, Make<TGIFGraphicControlExtension>};
    return c;
}

void TGIFGraphicControlExtension::LoadBody(ByteReader& stream) {
    std::array<uint8_t, 6> body{};
    ReadExact(stream, body);
    blockSize_ = body[0];
    packedFields_ = body[1];
    delay_ = platform::ReadLe16(body, 2);
    transparentColorIndex_ = body[4];
    terminator_ = body[5];
    if (Transparent())
        SubImage().hasTransparency_ = true;
}

const TGIFExtensionClass& TGIFTextExtension::Class() {
    static const TGIFExtensionClass c{"TGIFTextExtension", kTextLabel, ResolveSelf,
                                      Make<TGIFTextExtension>};
    return c;
}

void TGIFTextExtension::LoadBody(ByteReader& stream) {
    std::array<uint8_t, 13> body{};
    ReadExact(stream, body);
    header_.BlockSize = body[0];
    header_.Left = platform::ReadLe16(body, 1);
    header_.Top = platform::ReadLe16(body, 3);
    header_.Width = platform::ReadLe16(body, 5);
    header_.Height = platform::ReadLe16(body, 7);
    header_.CellWidth = body[9];
    header_.CellHeight = body[10];
    header_.ForegroundColorIndex = body[11];
    header_.BackgroundColorIndex = body[12];
    ReadSubBlockStrings(stream, text_);
}

const TGIFExtensionClass& TGIFCommentExtension::Class() {
    static const TGIFExtensionClass c{"TGIFCommentExtension", kCommentLabel, ResolveSelf,
                                      Make<TGIFCommentExtension>};
    return c;
}

void TGIFCommentExtension::LoadBody(ByteReader& stream) {
    ReadSubBlockStrings(stream, comment_);
}

const TGIFExtensionClass& TGIFApplicationExtension::Class() {
    static const TGIFExtensionClass c{"TGIFApplicationExtension", kApplicationLabel,
                                      ResolveApplication, Make<TGIFApplicationExtension>};
    return c;
}

void TGIFApplicationExtension::LoadBody(ByteReader& stream) {
    uint8_t blockSize = 0;
    if (!stream.ReadByte(blockSize) || blockSize < 10)
        throw GIFException(sUnsupportedAppBlockSize);
    ReadExact(stream, identifier_);
    // A 10-byte block lends its identifier the next byte, which is then read again; bytes of
    // a longer block beyond the 11 are skipped.
    stream.Seek(int64_t(blockSize) - 11);
    LoadData(stream);
}

void TGIFApplicationExtension::LoadData(ByteReader& stream) {
    uint8_t size = 0;
    while (stream.ReadByte(size) && size != 0)
        stream.Seek(size);
}

const TGIFExtensionClass& TGIFUnknownAppExtension::Class() {
    static const TGIFExtensionClass c{"TGIFUnknownAppExtension", kApplicationLabel,
                                      ResolveApplication, Make<TGIFUnknownAppExtension>};
    return c;
}

void TGIFUnknownAppExtension::LoadData(ByteReader& stream) {
    blocks_.clear();
    uint8_t size = 0;
    while (stream.ReadByte(size) && size != 0) {
        auto block = std::make_unique<TGIFBlock>(size);
        ReadExact(stream, block->Data());
        blocks_.push_back(std::move(block));
    }
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage& frame) : TGIFApplicationExtension(frame) {
    identifier_ = ToIdentifier("NETSCAPE2.0");
}

const TGIFExtensionClass& TGIFAppExtNSLoop::Class() {
    static const TGIFExtensionClass c{"TGIFAppExtNSLoop", kApplicationLabel, ResolveApplication,
                                      Make<TGIFAppExtNSLoop>};
    return c;
}

void TGIFAppExtNSLoop::LoadData(ByteReader& stream) {
    // Sub-block of 3 bytes: index 1, then the loop count; then the terminator. A byte past the
    // end of the stream fails the check it belongs to.
    uint8_t value = 0;
    if (!stream.ReadByte(value) || value != 3)
        throw GIFException(sInvalidData);
    if (!stream.ReadByte(value) || value != 1)
        throw GIFException(sInvalidData);
    std::array<uint8_t, 2> count{};
    ReadExact(stream, count);
    loops_ = platform::ReadLe16(count, 0);
    if (!stream.ReadByte(value) || value != 0)
        throw GIFException(sInvalidData);
}

// ---- Registries -------------------------------------------------------------------------------

void TExtensionList::Add(uint8_t label, const TGIFExtensionClass& extClass) {
    entries_.push_back({&extClass, label});
}

const TGIFExtensionClass* TExtensionList::Find(uint8_t label) const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->Label == label)
            return it->ExtClass;
    return nullptr;
}

void TAppExtensionList::Add(std::string_view identifier, const TGIFExtensionClass& extClass) {
    entries_.push_back({&extClass, ToIdentifier(identifier)});
}

const TGIFExtensionClass* TAppExtensionList::Find(const TApplicationIdentifier& identifier) const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->Identifier == identifier)
            return it->ExtClass;
    return nullptr;
}

TExtensionList& ExtensionRegistry() {
    static TExtensionList registry = [] {
        TExtensionList list;
        list.Add(kTextLabel, TGIFTextExtension::Class());
        list.Add(kGraphicControlLabel, TGIFGraphicControlExtension::Class());
        list.Add(kCommentLabel, TGIFCommentExtension::Class());
        list.Add(kApplicationLabel, TGIFApplicationExtension::Class());
        return list;
    }();
    return registry;
}

TAppExtensionList& AppExtensionRegistry() {
    static TAppExtensionList registry = [] {
        TAppExtensionList list;
        list.Add("NETSCAPE2.0", TGIFAppExtNSLoop::Class());
        list.Add("ANIMEXTS1.0", TGIFAppExtNSLoop::Class());
        return list;
    }();
    return registry;
}

const TGIFExtensionClass* FindExtensionClass(ByteReader& stream) {
    const int64_t start = stream.Position();
    uint8_t label = 0;
    if (!stream.ReadByte(label))
        return nullptr;
    const TGIFExtensionClass* extClass = ExtensionRegistry().Find(label);
    // Each class may name a more specific one, which is asked in turn from where the previous
    // one stopped reading; every change of class consumes bytes, so this ends.
    while (extClass) {
        const TGIFExtensionClass* next = extClass->ResolveClass(*extClass, stream);
        if (next == extClass)
            break;
        extClass = next;
    }
    stream.Seek(start - stream.Position());
    return extClass;
}

// ---- Lists ------------------------------------------------------------------------------------

void TGIFExtensionList::LoadFromStream(ByteReader& stream, TGIFSubImage& frame) {
    uint8_t b = 0;
    if (!stream.ReadByte(b))
        return;
    while (b != kImageSeparator && b != kTrailer) {
        if (b != kExtensionIntroducer) {
            ReportWarning(kWarningSeverity, sInvalidExtensionIntroducer);
            break;
        }
        const TGIFExtensionClass* extClass = FindExtensionClass(stream);
        if (!extClass)
            throw GIFException(sUnknownExtension);
        stream.Seek(-1);
        std::unique_ptr<TGIFExtension> extension = extClass->Create(frame);
        extension->LoadFromStream(stream);
        items_.push_back(std::move(extension));
        if (!stream.ReadByte(b))
            return;
    }
    stream.Seek(-1);
}

void TGIFImageList::Clear() {
    items_.clear();
}

void TGIFImageList::LoadFromStream(ByteReader& stream, TGIFImage& image) {
    for (;;) {
        uint8_t b = 0;
        do {
            if (!stream.ReadByte(b))
                return;
        } while (b == 0);
        stream.Seek(-1);
        if (b == kTrailer)
            return;
        if (b != kExtensionIntroducer && b != kImageSeparator) {
            ReportWarning(kWarningSeverity, sUnknownBlockType);
            stream.Seek(-1);
            return;
        }
        auto frame = std::make_unique<TGIFSubImage>(&image);
        frame->LoadFromStream(stream);
        const int64_t size = stream.StreamSize();
        const int percent = size > 0 ? int(stream.StreamPosition() * 100 / size) : 0;
        image.ReportProgress(image, graphics::psRunning, percent, false, sLoading);
        items_.push_back(std::move(frame));
    }
}

// ---- Frames -----------------------------------------------------------------------------------

TGIFSubImage::TGIFSubImage(TGIFImage* image)
    : TGIFItem(image), extensions_(image), colorMap_(*this) {}

TGIFSubImage::~TGIFSubImage() {
    // The extensions refer back to the frame while they go.
    extensions_.Clear();
}

void TGIFSubImage::Clear() {
    extensions_.Clear();
    colorMap_.Clear();
    if (TGIFImage* image = Image())
        image->decodedBytes_ -= std::min(image->decodedBytes_, pixels_.size());
    pixels_.clear();
    pixels_.shrink_to_fit();
    descriptor_.Width = 0;
    descriptor_.Height = 0;
    hasTransparency_ = false;
    gce_ = nullptr;
    bitmap_.reset();
    palette_.reset();
    mask_.reset();
    maskNeedsRebuild_ = true;
}

void TGIFSubImage::LoadFromStream(ByteReader& stream) {
    Clear();
    extensions_.LoadFromStream(stream, *this);
    uint8_t next = 0;
    if (!stream.ReadByte(next))
        return;
    stream.Seek(-1);
    if (next == kTrailer || next == 0x00)
        return;

    std::array<uint8_t, 10> d{};
    ReadExact(stream, d);
    descriptor_.Separator = d[0];
    descriptor_.Left = platform::ReadLe16(d, 1);
    descriptor_.Top = platform::ReadLe16(d, 3);
    descriptor_.Width = platform::ReadLe16(d, 5);
    descriptor_.Height = platform::ReadLe16(d, 7);
    descriptor_.PackedFields = d[9];
    if (descriptor_.Width == 0 || descriptor_.Height == 0) {
        const TGIFHeader& header = Image()->Header();
        descriptor_.Height = uint16_t(header.Height());
        descriptor_.Width = uint16_t(header.Width());
        ReportWarning(kWarningSeverity, sImageExceedsScreen);
    }
    if (descriptor_.PackedFields & 0x80)
        colorMap_.LoadFromStream(stream, 2 << (descriptor_.PackedFields & 7));
    DecodeImageData(stream);
}

void TGIFSubImage::DecodeImageData(ByteReader& stream) {
    const uint64_t pixels = uint64_t(descriptor_.Width) * descriptor_.Height;
    TGIFImage* image = Image();
    // Sizes come from the file: check them before anything is allocated.
    if (pixels > gMaxFramePixels || image->decodedBytes_ + pixels > gMaxDecodedBytes)
        throw GIFException(sImageNotValid);
    pixels_.assign(size_t(pixels), 0);
    image->decodedBytes_ += pixels;
    const WarningSink warn = [this](const char* message) {
        ReportWarning(kWarningSeverity, message);
    };
    gif::DecodeImageData(stream, pixels_, descriptor_.Width, descriptor_.Height,
                         Interlaced() ? Interlace::Yes : Interlace::No, warn);
}

void TGIFTrailer::LoadFromStream(ByteReader& stream) {
    uint8_t b = 0;
    if (stream.ReadByte(b) && b != kTrailer)
        ReportWarning(kWarningSeverity, sInvalidTrailer);
}

// ---- The image --------------------------------------------------------------------------------

TGIFImage::TGIFImage() : header_(this), images_(this) {
    Clear();
}

TGIFImage::~TGIFImage() {
    images_.Clear();
}

const graphics::TGraphicClass& TGIFImage::Class() {
    static const graphics::TGraphicClass c{
        "TGIFImage", &graphics::TGraphic::Class(),
        []() -> std::unique_ptr<graphics::TGraphic> { return std::make_unique<TGIFImage>(); }};
    return c;
}

void TGIFImage::Clear() {
    bitmap_.reset();
    images_.Clear();
    decodedBytes_ = 0;
    header_.Clear();
    ReleasePalette();
}

void TGIFImage::ReleasePalette() {
    palette_.reset();
}

void TGIFImage::Warning(graphics::TPersistent& sender, int severity, const std::string& message) {
    if (WarningHandler)
        WarningHandler(sender, severity, message);
}

void TGIFImage::ReportProgress(graphics::TPersistent& sender, graphics::TProgressStage stage,
                               int percent, bool redraw, const std::string& message) {
    if (OnProgress)
        OnProgress(sender, stage, uint8_t(std::clamp(percent, 0, 100)), redraw,
                   platform::RECT{0, 0, 0, 0}, message);
}

void TGIFImage::LoadAll(ByteReader& reader) {
    ReportProgress(*this, graphics::psStarting, 0, false, sLoading);
    try {
        Clear();
        header_.LoadFromStream(reader);
        images_.LoadFromStream(reader, *this);
        TGIFTrailer trailer(this);
        trailer.LoadFromStream(reader);
    } catch (...) {
        ReportProgress(*this, graphics::psEnding, 0, true, sLoading);
        throw;
    }
    ReportProgress(*this, graphics::psEnding, 100, true, sLoading);
}

void TGIFImage::LoadFromBytes(std::span<const uint8_t> bytes) {
    ByteReader reader(bytes);
    LoadAll(reader);
}

void TGIFImage::LoadFromStream(graphics::TStream& stream) {
    // The reader works on the stream's remaining bytes in memory; afterwards the stream is
    // placed after what was read, as if it had been read directly.
    const int64_t start = stream.Position();
    const int64_t size = stream.Size();
    std::vector<uint8_t> bytes;
    if (size > start)
        bytes.reserve(size_t(size - start));
    std::array<uint8_t, 65536> chunk{};
    for (;;) {
        const int64_t n = stream.Read(chunk);
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
    }
    ByteReader reader(bytes, start, std::max<int64_t>(size, start + int64_t(bytes.size())));
    const auto reposition = [&] {
        stream.SetPosition(start + std::min(reader.Position(), reader.Size()));
    };
    try {
        LoadAll(reader);
    } catch (...) {
        reposition();
        throw;
    }
    reposition();
}

void TGIFImage::SaveToStream(graphics::TStream&) {
    throw GIFException("Writing GIF images is not supported");
}

void TGIFImage::ResizeWidth(int) {
    throw GIFException("A GIF image cannot be resized");
}

void TGIFImage::ResizeHeight(int) {
    throw GIFException("A GIF image cannot be resized");
}

void TGIFImage::ImportClipboardData(uint16_t, platform::GdiBitmap*, platform::GdiPalette*) {
    throw GIFException("Unsupported clipboard format");
}

graphics::THandOverValues TGIFImage::ExportClipboardData() {
    throw GIFException("Unsupported clipboard format");
}

} // namespace gif
