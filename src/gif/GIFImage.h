// TGIFImage: a GIF file (GIF87a or GIF89a) read into an object model held in memory: the header
// with the logical screen descriptor and the global colour table, the frames in stream order
// (each with the extensions before it, its image descriptor, its local colour table and its
// decoded colour indices) and the trailer check. The first frame can be had as a bitmap.
//
// Reading only: the object model is not written back to a stream.
#pragma once

#include "gif/GIFException.h"
#include "gif/GIFReader.h"
#include "graphics/Graphic.h"
#include "graphics/Persistent.h"
#include "platform/Gdi.h"
#include "platform/PixelLimits.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace graphics {
class TBitmap;
class TCanvas;
class TStream;
} // namespace graphics

namespace gif {

class TGIFImage;
class TGIFSubImage;
class TGIFHeader;
class TGIFExtension;
class TGIFGraphicControlExtension;

// Reads exactly out.size() bytes; fewer is "Premature end of data".
void ReadExact(ByteReader& stream, std::span<uint8_t> out);
// Reads data sub-blocks up to the zero-length one (or the end of the stream); each becomes one
// string that ends at its first 0x00 byte.
void ReadSubBlockStrings(ByteReader& stream, std::vector<std::string>& list);

// ---- Items ------------------------------------------------------------------------------------

class TGIFItem : public graphics::TPersistent {
  public:
    explicit TGIFItem(TGIFImage* image) : image_(image) {}
    std::string_view ClassName() const override { return "TGIFItem"; }

    TGIFImage* Image() const { return image_; }
    // Passes the warning to the owning image.
    virtual void ReportWarning(int severity, const std::string& message);
    virtual void LoadFromStream(ByteReader& stream) = 0;

  private:
    TGIFImage* image_;
};

// One colour table entry, in the stream's order.
struct TGIFColor {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

class TGIFColorMap : public graphics::TPersistent {
  public:
    std::string_view ClassName() const override { return "TGIFColorMap"; }

    int Count() const { return count_; }
    int Capacity() const { return int(entries_.size()); }
    bool Sorted() const { return sorted_; }
    std::span<const TGIFColor> Colors() const { return {entries_.data(), size_t(count_)}; }
    const TGIFColor& operator[](int index) const { return entries_.at(size_t(index)); }

    // Empties the table; the sort flag becomes clear.
    void Clear();
    // Empties the table and reads count entries (2 to 256) of three bytes each.
    void LoadFromStream(ByteReader& stream, int count);
    // A logical palette of exactly Count entries in table order.
    platform::HPALETTE MakePalette() const;

    virtual void ReportWarning(int severity, const std::string& message) = 0;
    virtual void Changed() = 0;

  private:
    void Reserve(int count);

    std::vector<TGIFColor> entries_;
    int count_ = 0;
    bool sorted_ = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
  public:
    explicit TGIFGlobalColorMap(TGIFHeader& header) : header_(header) {}
    std::string_view ClassName() const override { return "TGIFGlobalColorMap"; }
    void ReportWarning(int severity, const std::string& message) override;
    // The image palette no longer matches the table.
    void Changed() override;

  private:
    TGIFHeader& header_;
};

class TGIFLocalColorMap : public TGIFColorMap {
  public:
    explicit TGIFLocalColorMap(TGIFSubImage& frame) : frame_(frame) {}
    std::string_view ClassName() const override { return "TGIFLocalColorMap"; }
    void ReportWarning(int severity, const std::string& message) override;
    // The frame palette no longer matches the table.
    void Changed() override;

  private:
    TGIFSubImage& frame_;
};

// The logical screen descriptor (GIF89a section 18), field for field as stored.
struct TLogicalScreenDescriptor {
    uint16_t ScreenWidth = 0;
    uint16_t ScreenHeight = 0;
    uint8_t PackedFields = 0; // 7: global table, 6-4: colour resolution, 3: sort, 2-0: size
    uint8_t BackgroundColorIndex = 0;
    uint8_t AspectRatio = 0;
};

class TGIFHeader : public TGIFItem {
  public:
    explicit TGIFHeader(TGIFImage* image);
    std::string_view ClassName() const override { return "TGIFHeader"; }

    // Signature, logical screen descriptor and global colour table.
    void LoadFromStream(ByteReader& stream) override;

    const TLogicalScreenDescriptor& Descriptor() const { return descriptor_; }
    int Width() const { return descriptor_.ScreenWidth; }
    int Height() const { return descriptor_.ScreenHeight; }
    TGIFGlobalColorMap& ColorMap() { return colorMap_; }
    const TGIFGlobalColorMap& ColorMap() const { return colorMap_; }

    // Empty state: no global table, a 0 x 0 screen, packed fields to match.
    void Clear();

  private:
    TLogicalScreenDescriptor descriptor_;
    TGIFGlobalColorMap colorMap_;
};

// The image descriptor (GIF89a section 20), field for field as stored.
struct TImageDescriptor {
    uint8_t Separator = 0x2C;
    uint16_t Left = 0;
    uint16_t Top = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint8_t PackedFields = 0; // 7: local table, 6: interlace, 5: sort, 2-0: size
};

// ---- Extensions -------------------------------------------------------------------------------

// The class of an extension, as the registries hold it: its label, the class-level resolution
// step and the constructor.
struct TGIFExtensionClass {
    std::string_view name;
    uint8_t ExtensionLabel = 0;
    // Returns self when it is the final class, another class to ask next, or null for none.
    const TGIFExtensionClass* (*ResolveClass)(const TGIFExtensionClass& self,
                                              ByteReader& stream) = nullptr;
    std::unique_ptr<TGIFExtension> (*create)(TGIFSubImage& frame) = nullptr;

    std::unique_ptr<TGIFExtension> Create(TGIFSubImage& frame) const { return create(frame); }
};

class TGIFExtensionList;

class TGIFExtension : public TGIFItem {
  public:
    explicit TGIFExtension(TGIFSubImage& frame);
    std::string_view ClassName() const override { return ClassType().name; }

    virtual const TGIFExtensionClass& ClassType() const = 0;
    uint8_t ExtensionLabel() const { return ClassType().ExtensionLabel; }
    TGIFSubImage& SubImage() const { return frame_; }

    // Introducer and label, then the body of the class.
    void LoadFromStream(ByteReader& stream) override;

  protected:
    virtual void LoadBody(ByteReader& stream) = 0;

  private:
    TGIFSubImage& frame_;
};

class TGIFGraphicControlExtension : public TGIFExtension {
  public:
    explicit TGIFGraphicControlExtension(TGIFSubImage& frame);
    ~TGIFGraphicControlExtension() override;
    static const TGIFExtensionClass& Class();
    const TGIFExtensionClass& ClassType() const override { return Class(); }

    uint8_t BlockSize() const { return blockSize_; }
    uint8_t PackedFields() const { return packedFields_; }
    uint16_t Delay() const { return delay_; }
    uint8_t TransparentColorIndex() const { return transparentColorIndex_; }
    uint8_t Terminator() const { return terminator_; }
    int Disposal() const { return (packedFields_ >> 2) & 7; }
    bool UserInput() const { return (packedFields_ & 2) != 0; }
    bool Transparent() const { return (packedFields_ & 1) != 0; }

  protected:
    void LoadBody(ByteReader& stream) override;

  private:
    uint8_t blockSize_ = 4;
    uint8_t packedFields_ = 0;
    uint16_t delay_ = 0;
    uint8_t transparentColorIndex_ = 0;
    uint8_t terminator_ = 0;
};

// Plain text extension: the text grid header and the text, one string per sub-block.
class TGIFTextExtension : public TGIFExtension {
  public:
    using TGIFExtension::TGIFExtension;
    static const TGIFExtensionClass& Class();
    const TGIFExtensionClass& ClassType() const override { return Class(); }

    struct Header {
        uint8_t BlockSize = 12;
        uint16_t Left = 0;
        uint16_t Top = 0;
        uint16_t Width = 0;
        uint16_t Height = 0;
        uint8_t CellWidth = 0;
        uint8_t CellHeight = 0;
        uint8_t ForegroundColorIndex = 0;
        uint8_t BackgroundColorIndex = 0;
    };
    const Header& TextHeader() const { return header_; }
    const std::vector<std::string>& Text() const { return text_; }

  protected:
    void LoadBody(ByteReader& stream) override;

  private:
    Header header_;
    std::vector<std::string> text_;
};

class TGIFCommentExtension : public TGIFExtension {
  public:
    using TGIFExtension::TGIFExtension;
    static const TGIFExtensionClass& Class();
    const TGIFExtensionClass& ClassType() const override { return Class(); }

    const std::vector<std::string>& Comment() const { return comment_; }

  protected:
    void LoadBody(ByteReader& stream) override;

  private:
    std::vector<std::string> comment_;
};

using TApplicationIdentifier = std::array<uint8_t, 11>;

// Application extension: an 8-byte identifier and a 3-byte authentication code, then data
// sub-blocks whose layout the identifier decides. This base class knows no layout and skips
// them; the registered classes read their own.
class TGIFApplicationExtension : public TGIFExtension {
  public:
    using TGIFExtension::TGIFExtension;
    static const TGIFExtensionClass& Class();
    const TGIFExtensionClass& ClassType() const override { return Class(); }

    const TApplicationIdentifier& Identifier() const { return identifier_; }
    std::string IdentifierText() const { return {identifier_.begin(), identifier_.end()}; }
    // The data sub-blocks after the identifier.
    virtual void LoadData(ByteReader& stream);

  protected:
    void LoadBody(ByteReader& stream) override;
    TApplicationIdentifier identifier_{};
};

// One data sub-block: up to 255 bytes.
class TGIFBlock {
  public:
    explicit TGIFBlock(uint8_t size) : data_(size) {}
    uint8_t Size() const { return uint8_t(data_.size()); }
    std::span<uint8_t> Data() { return data_; }
    std::span<const uint8_t> Data() const { return data_; }

  private:
    std::vector<uint8_t> data_;
};

// An application block of a layout we do not know: its data sub-blocks are kept as they are.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
  public:
    using TGIFApplicationExtension::TGIFApplicationExtension;
    static const TGIFExtensionClass& Class();
    const TGIFExtensionClass& ClassType() const override { return Class(); }

    const std::vector<std::unique_ptr<TGIFBlock>>& Blocks() const { return blocks_; }
    void LoadData(ByteReader& stream) override;

  private:
    std::vector<std::unique_ptr<TGIFBlock>> blocks_;
};

// The looping block (NETSCAPE2.0 and ANIMEXTS1.0): sub-block 1 holds the loop count.
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
  public:
    explicit TGIFAppExtNSLoop(TGIFSubImage& frame);
    static const TGIFExtensionClass& Class();
    const TGIFExtensionClass& ClassType() const override { return Class(); }

    uint16_t Loops() const { return loops_; }
    void LoadData(ByteReader& stream) override;

  private:
    uint16_t loops_ = 0;
};

// ---- Registries -------------------------------------------------------------------------------

// Extension classes by label; searched from the last entry to the first.
class TExtensionList {
  public:
    struct Entry {
        const TGIFExtensionClass* ExtClass;
        uint8_t Label;
    };
    void Add(uint8_t label, const TGIFExtensionClass& extClass);
    const TGIFExtensionClass* Find(uint8_t label) const;
    const std::vector<Entry>& Entries() const { return entries_; }

  private:
    std::vector<Entry> entries_;
};

// Application extension classes by their 11 identifier bytes (compared as raw bytes).
class TAppExtensionList {
  public:
    struct Entry {
        const TGIFExtensionClass* ExtClass;
        TApplicationIdentifier Identifier;
    };
    void Add(std::string_view identifier, const TGIFExtensionClass& extClass);
    const TGIFExtensionClass* Find(const TApplicationIdentifier& identifier) const;
    const std::vector<Entry>& Entries() const { return entries_; }

  private:
    std::vector<Entry> entries_;
};

// Created with the standard classes on first use; they live until the program ends.
TExtensionList& ExtensionRegistry();
TAppExtensionList& AppExtensionRegistry();

// Finds the class of the extension whose introducer was just read; the stream is left where it
// was. Null when the label is unknown or the block cannot be resolved.
const TGIFExtensionClass* FindExtensionClass(ByteReader& stream);

// ---- Lists ------------------------------------------------------------------------------------

class TGIFList : public graphics::TPersistent {
  public:
    explicit TGIFList(TGIFImage* image) : image_(image) {}
    std::string_view ClassName() const override { return "TGIFList"; }
    TGIFImage* Image() const { return image_; }
    virtual void ReportWarning(int severity, const std::string& message);

  private:
    TGIFImage* image_;
};

// One frame's extensions, in stream order.
class TGIFExtensionList : public TGIFList {
  public:
    using TGIFList::TGIFList;
    std::string_view ClassName() const override { return "TGIFExtensionList"; }

    // Reads extensions until the byte that begins the image descriptor, the trailer or
    // anything else that is not an extension; that byte is left unread.
    void LoadFromStream(ByteReader& stream, TGIFSubImage& frame);

    int Count() const { return int(items_.size()); }
    TGIFExtension& operator[](int index) const { return *items_.at(size_t(index)); }
    void Clear() { items_.clear(); }

  private:
    std::vector<std::unique_ptr<TGIFExtension>> items_;
};

// The frames, in stream order.
class TGIFImageList : public TGIFList {
  public:
    using TGIFList::TGIFList;
    std::string_view ClassName() const override { return "TGIFImageList"; }

    // The block loop: frames until the trailer, the end of the stream or an unknown block.
    void LoadFromStream(ByteReader& stream, TGIFImage& image);

    int Count() const { return int(items_.size()); }
    TGIFSubImage& operator[](int index) const { return *items_.at(size_t(index)); }
    void Clear();

  private:
    std::vector<std::unique_ptr<TGIFSubImage>> items_;
};

// ---- Frames -----------------------------------------------------------------------------------

class TGIFSubImage : public TGIFItem {
  public:
    explicit TGIFSubImage(TGIFImage* image);
    ~TGIFSubImage() override;
    std::string_view ClassName() const override { return "TGIFSubImage"; }

    // Extensions, image descriptor, local colour table and image data. A frame may end after
    // its extensions, without an image.
    void LoadFromStream(ByteReader& stream) override;

    const TImageDescriptor& Descriptor() const { return descriptor_; }
    int Left() const { return descriptor_.Left; }
    int Top() const { return descriptor_.Top; }
    int Width() const { return descriptor_.Width; }
    int Height() const { return descriptor_.Height; }
    bool Interlaced() const { return (descriptor_.PackedFields & 0x40) != 0; }
    bool HasTransparency() const { return hasTransparency_; }
    TGIFGraphicControlExtension* GraphicControlExtension() const { return gce_; }

    TGIFExtensionList& Extensions() { return extensions_; }
    const TGIFExtensionList& Extensions() const { return extensions_; }
    TGIFLocalColorMap& ColorMap() { return colorMap_; }
    const TGIFLocalColorMap& ColorMap() const { return colorMap_; }
    // Width x height colour indices, rows top to bottom; empty without an image.
    std::span<const uint8_t> PixelData() const { return pixels_; }
    size_t DataSize() const { return pixels_.size(); }
    bool Empty() const { return pixels_.empty() || Width() == 0 || Height() == 0; }

    void Clear();

    // ---- Rendering.
    // The frame's 8-bit bitmap of colour indices (or of the dithered web palette); built on
    // first use and kept. Null for a frame without pixel data.
    graphics::TBitmap* FrameBitmap();
    // Draws the frame into the part of rect that its place on the logical screen maps to.
    void DrawFrame(graphics::TCanvas& canvas, const platform::RECT& rect, bool transparent);
    // The frame's palette, owned by the frame (or by the image).
    platform::GdiPalette* Palette();
    // 1 bit per pixel, set where the pixel has the transparent index; built with the bitmap.
    platform::GdiBitmap* TransparencyMask() const { return mask_.get(); }

  private:
    friend class TGIFGraphicControlExtension;
    friend class TGIFLocalColorMap;
    void DecodeImageData(ByteReader& stream);
    std::unique_ptr<graphics::TBitmap> BuildPlainBitmap();
    std::unique_ptr<graphics::TBitmap> BuildDitheredBitmap();
    template <class WriteRow>
    std::unique_ptr<graphics::TBitmap> BuildBitmap(std::unique_ptr<graphics::TBitmap> bitmap,
                                                   WriteRow writeRow);
    std::unique_ptr<graphics::TBitmap> NewIndexedBitmap(platform::HPALETTE palette);
    void DrawMasked(graphics::TCanvas& canvas, const platform::RECT& target,
                    graphics::TBitmap& frame);
    void Progress(graphics::TProgressStage stage, int percent, bool redraw);

    TGIFExtensionList extensions_;
    TGIFLocalColorMap colorMap_;
    TImageDescriptor descriptor_;
    std::vector<uint8_t> pixels_;
    bool hasTransparency_ = false;
    TGIFGraphicControlExtension* gce_ = nullptr; // the first one made for this frame

    std::unique_ptr<graphics::TBitmap> bitmap_;
    platform::HPALETTE palette_;
    platform::HBITMAP mask_;
    bool maskNeedsRebuild_ = true;
};

class TGIFTrailer : public TGIFItem {
  public:
    using TGIFItem::TGIFItem;
    std::string_view ClassName() const override { return "TGIFTrailer"; }
    // Warns when the byte after the last block is not the trailer 0x3B.
    void LoadFromStream(ByteReader& stream) override;
};

// ---- The image --------------------------------------------------------------------------------

// RenderOptions bits that reading uses.
inline constexpr uint16_t goDither = 0x0080;
inline constexpr uint16_t goAutoDither = 0x0100;
inline constexpr uint16_t kDefaultRenderOptions = 0x018F;

using TGIFWarning =
    std::function<void(graphics::TPersistent& sender, int severity, const std::string& message)>;

class TGIFImage : public graphics::TGraphic {
  public:
    TGIFImage();
    ~TGIFImage() override;

    static const graphics::TGraphicClass& Class();
    const graphics::TGraphicClass& ClassType() const override { return Class(); }

    // ---- TGraphic.
    // Reads one whole GIF from the stream's position; the stream is left after what was read.
    void LoadFromStream(graphics::TStream& stream) override;
    // Writing GIF files is not part of this reader: raises GIFException.
    void SaveToStream(graphics::TStream& stream) override;
    // Stretches the first frame's bitmap into rect.
    void DrawGraphic(graphics::TCanvas& target, const platform::RECT& rect) override;
    bool IsEmpty() const override { return images_.Count() == 0; }
    int Width() const override { return header_.Width(); }
    int Height() const override { return header_.Height(); }
    // The image palette query.
    platform::GdiPalette* PaletteOf() const override;
    // The logical screen is fixed by the file: raise GIFException.
    void ResizeWidth(int width) override;
    void ResizeHeight(int height) override;
    // Replaces the image palette; the cached bitmap is rebuilt on the next request.
    void ReplacePalette(platform::HPALETTE palette) override;
    // Raise GIFException: the clipboard carries bitmaps, not GIF data.
    void ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                             platform::GdiPalette* palette) override;
    graphics::THandOverValues ExportClipboardData() override;

    // The bytes of a whole GIF, without a stream.
    void LoadFromBytes(std::span<const uint8_t> bytes);

    // ---- Object model.
    TGIFHeader& Header() { return header_; }
    const TGIFHeader& Header() const { return header_; }
    TGIFImageList& Images() { return images_; }
    const TGIFImageList& Images() const { return images_; }
    int Count() const { return images_.Count(); }
    TGIFSubImage& SubImage(int index) const { return images_[index]; }
    TGIFGlobalColorMap& GlobalColorMap() { return header_.ColorMap(); }

    // Stops animation (none runs here), frees every frame and derived object, and empties the
    // header.
    void Clear();

    // ---- Rendering.
    // The first frame as a bitmap, built on first use and kept until the next load. Null when
    // the image has no frame.
    graphics::TBitmap* Bitmap();
    uint16_t RenderOptions() const { return renderOptions_; }
    void SetRenderOptions(uint16_t options) { renderOptions_ = options; }
    // Dither set, and AutoDither clear or the display is palette-based.
    bool DitheringApplies() const;

    // ---- Warnings and progress from the items.
    TGIFWarning WarningHandler;
    virtual void Warning(graphics::TPersistent& sender, int severity, const std::string& message);
    // OnProgress on behalf of an item (a frame reports its own rendering).
    void ReportProgress(graphics::TPersistent& sender, graphics::TProgressStage stage, int percent,
                        bool redraw, const std::string& message);

  private:
    friend class TGIFSubImage;
    friend class TGIFGlobalColorMap;
    void LoadAll(ByteReader& reader);
    void ReleasePalette();

    TGIFHeader header_;
    TGIFImageList images_;
    uint16_t renderOptions_ = kDefaultRenderOptions;
    std::unique_ptr<graphics::TBitmap> bitmap_;
    mutable platform::HPALETTE palette_;
    mutable bool paletteQueryActive_ = false;
    // Decoded bytes of all frames, against the shared limit.
    size_t decodedBytes_ = 0;
};

// The shared limits of decoded pixels: 256 megapixels per frame, 1 GiB for all frames of an
// image. Larger pictures are refused with sImageNotValid before anything is allocated.
inline constexpr uint64_t kDefaultMaxFramePixels = platform::kMaxPixels;
inline constexpr uint64_t kDefaultMaxDecodedBytes = platform::kMaxPixelBytes;
// Test and fuzzing seam: lower limits keep huge declared sizes cheap to exercise.
void SetDecodeLimitsForTesting(uint64_t framePixels, uint64_t totalBytes);

// ---- Unit-wide state --------------------------------------------------------------------------

// Registers the "GIF Image" clipboard format and reads the display's depth. Runs once; later
// calls do nothing. TGIFImage's picture format list entry comes from the picture table
// (card::InitializePictureModules).
void InitializeGIFImageUnit();
// Takes the class off the picture format list and frees the template bitmap.
void FinalizeGIFImageUnit();
// The number of the registered "GIF Image" clipboard format (registering it when needed).
unsigned CF_GIF();
// True when the display has at most 8 bits per pixel (bits times planes below 9).
bool PaletteDisplay();
// The 216-colour palette of the dithered build: entry r*36 + g*6 + b is (r*51, g*51, b*51).
platform::HPALETTE WebPalette();
// An empty bitmap of 8 bits per pixel; assigning it gives a bitmap that pixel format.
graphics::TBitmap& TemplateBitmap();

} // namespace gif
