// The common dialogs: open, save (for pictures), colour and font. Each holds its values
// between uses; Execute shows it modally through the program's dialog provider and returns
// whether the user confirmed. Tests install a provider that answers without a person.
#pragma once

#include "app/toolkit/DialogSeam.h"
#include "graphics/Color.h"
#include "graphics/Tools.h"

#include <QImage>
#include <memory>
#include <string>

class QWidget;

namespace toolkit {

class TOpenDialog {
  public:
    std::string FileName;
    std::string InitialDir;
    // Pairs of description and pattern, all separated by '|' ("JPEG|*.jpg|Bitmap|*.bmp").
    std::string Filter;
    std::string DefaultExt;
    std::string Title;
    bool Execute();
};

// The save dialog for pictures. Its filter is built when it is made, from the picture format
// list as the modules have filled it: an "All" entry, then one entry per registered format. Its
// preview panel shows the picture file under the cursor.
class TSavePictureDialog : public TOpenDialog {
  public:
    TSavePictureDialog();
    bool Execute();
};

// What the picture dialogs' preview panel shows for a file: the picture read by the class the
// format list names for its extension, drawn by our own image control scaled down to fit
// width x height (keeping its proportions, centred, never enlarged) on the button face. A null
// image when the file is no picture we can read.
QImage PicturePreview(const std::string& path, int width, int height);

class TColorDialog {
  public:
    graphics::TColor Color = graphics::clBlack;
    bool Execute();
};

// Offers the effects: colour, underline and strike-out.
class TFontDialog {
  public:
    TFontDialog();
    graphics::TFont& Font() { return font_; }
    const graphics::TFont& Font() const { return font_; }
    bool Execute();

  private:
    graphics::TFont font_;
};

// Runs the dialogs. A provider reads the dialog's values, lets the user (or a script) change
// them, and returns whether they were confirmed; a cancel leaves the values as they were.
class DialogProvider {
  public:
    virtual ~DialogProvider() = default;
    virtual bool RunOpen(TOpenDialog& dialog) = 0;
    virtual bool RunSave(TSavePictureDialog& dialog) = 0;
    virtual bool RunColor(TColorDialog& dialog) = 0;
    virtual bool RunFont(TFontDialog& dialog) = 0;
    // The standard question before a file is replaced: true only for an explicit yes.
    virtual bool RunConfirmReplace(const std::string& fileName) = 0;
};

// Asks whether the existing file fileName may be replaced; false for no or a closed question.
bool ConfirmReplace(const std::string& fileName);

// The provider with Qt's modal dialogs, parented to the active window.
std::unique_ptr<DialogProvider> NewQtDialogProvider();

// The provider in use; the Qt one unless a test installed another.
DialogProvider& Dialogs();
// Installs a provider for the lifetime of the guard (tests).
using ScopedDialogProvider = DialogSeam<DialogProvider>::Scoped;

// A filter in the design's "description|pattern|..." form as a Qt name filter list
// ("JPEG (*.jpg);;Bitmap (*.bmp)").
std::string ToQtFilter(const std::string& filter);

} // namespace toolkit
