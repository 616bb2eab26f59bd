// TClipboard: moves pictures between bitmaps or pictures and the system clipboard. Any number of
// clipboard objects may exist; they all act on the one system clipboard, which each operation
// opens and closes again before it returns, also when it fails.
//
//   clipboard.CopyFrom(&bitmap);   // the bitmap (CF_BITMAP, then CF_PALETTE) replaces the contents
//   bitmap.CopyFrom(&clipboard);   // loads the clipboard's bitmap: TBitmap hands over to CopyInto
#pragma once

#include "clipbrd/HiddenWindow.h"
#include "graphics/Graphic.h"
#include "graphics/Persistent.h"
#include "platform/Clipboard.h"

#include <optional>
#include <string>
#include <string_view>

namespace graphics {
class TBitmap;
class TPicture;
} // namespace graphics

namespace clipbrd {

class TClipboard : public graphics::TPersistent {
  public:
    // Holds no system resource until BeginAccess.
    TClipboard() = default;
    // Closes the clipboard if this object still holds it open.
    ~TClipboard() override;
    TClipboard(const TClipboard&) = delete;
    TClipboard& operator=(const TClipboard&) = delete;

    std::string_view ClassName() const override { return "TClipboard"; }

    // Places a picture's graphic or a graphic on the clipboard, replacing its earlier contents
    // (within one open period the formats placed stay together). The clipboard takes ownership
    // of the placed handles. Anything else raises EConvertError "Cannot assign a %s to a %s".
    // An empty picture or graphic leaves the clipboard empty.
    void CopyFrom(const graphics::TPersistent* source) override;
    // Loads the clipboard's picture into a picture (the first format on the clipboard that a
    // picture class is registered for; otherwise Exception "Invalid clipboard format") or a
    // bitmap (CF_BITMAP with CF_PALETTE; EInvalidGraphic "Unsupported clipboard format" when
    // there is no bitmap). Any other destination raises EConvertError. The destination keeps
    // its image on failure; the clipboard keeps its handles.
    void CopyInto(graphics::TPersistent& destination) const override;

    // Empties the system clipboard.
    virtual void EmptyClipboardData();
    // Closes the clipboard when the last nested BeginAccess is matched; without one, nothing.
    virtual void EndAccess() const;
    // Opens the clipboard (nested calls only count). The owner is the application window, or
    // a private hidden window made for the open period. Exception "Cannot open clipboard" when
    // another owner holds it; nothing stays allocated then.
    virtual void BeginAccess() const;

    // Text as CF_TEXT (UTF-8), placed like a picture: it replaces the earlier contents.
    void SetAsText(std::string_view text);
    // The CF_TEXT item, empty when there is none.
    std::string AsText() const;
    bool HasFormat(unsigned format) const;

    // ---- Inspection.
    int OpenCount() const { return openCount_; }
    platform::HWND OwnerWindow() const { return owner_; }
    bool MadePrivateWindow() const { return privateWindow_.has_value(); }

  private:
    // Before the first item of an open period is placed, the clipboard is emptied once.
    void Adding();
    void Place(unsigned format, platform::ClipboardItem item);
    void PlaceGraphic(graphics::TGraphic& graphic);
    void LoadPicture(graphics::TPicture& picture) const;
    void LoadBitmap(graphics::TBitmap& bitmap) const;

    // Opening and closing are not part of the object's value: loading (CopyInto) is const
    // because assignment is, and it must still open the clipboard.
    mutable int openCount_ = 0;
    mutable platform::HWND owner_ = 0;
    mutable std::optional<THiddenWindow> privateWindow_;
    mutable bool emptied_ = false;
};

// The application's main hidden window, which clipboard objects take as owner when there is
// one (0, the default, makes each object use a private window).
void SetApplicationWindow(platform::HWND window);
platform::HWND ApplicationWindow();

// Which picture class loads which clipboard format into a picture. CF_BITMAP is registered for
// TBitmap from the start; for a format registered more than once the newest class wins.
void RegisterClipboardPictureFormat(unsigned format, const graphics::TGraphicClass& graphicClass);
// Removes every entry whose class is graphicClass or derives from it.
void UnregisterClipboardPictureClass(const graphics::TGraphicClass& graphicClass);
const graphics::TGraphicClass* FindClipboardPictureClass(unsigned format);

} // namespace clipbrd
