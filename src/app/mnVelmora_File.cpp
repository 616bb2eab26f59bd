// The main window's file commands: Find, Save As, Exit.
#include "app/mnVelmora.h"
#include "app/progress/BusyIndicator.h"
#include "card/Background.h"
#include "graphics/Bitmap.h"
#include "jpeg/JPEGImage.h"
#include "platform/Ascii.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

namespace velmora {

namespace {

// The saved card is a JPEG file: a name typed without a JPEG extension gets ".jpg", one that
// has ".jpg" or ".jpeg" in any letter case is kept as typed.
std::string CardFileName(const std::string& typed) {
    if (platform::EndsWithNoCase(typed, ".jpg") || platform::EndsWithNoCase(typed, ".jpeg"))
        return typed;
    return typed + ".jpg";
}

// Where the save dialog opens: the open dialog's own initial folder, else the folder of the
// last background chosen with Find (empty before any, which leaves the dialog's default).
std::string SaveFolder(const toolkit::TOpenDialog& open) {
    if (!open.InitialDir.empty())
        return open.InitialDir;
    return std::filesystem::path(open.FileName).parent_path().string();
}

} // namespace

void TForm1::Button1Click() {
    // A cancelled dialog changes nothing: the card keeps its picture and no snapshot is taken.
    const std::string previousName = OpenDialog1.FileName;
    if (!OpenDialog1.Execute())
        return;

    CardSession& session = *this;
    card::BackgroundObjects& pictures = session.State().Pictures;
    pictures.OnProgress = progress::ProgressListener();
    try {
        const progress::BusyIndicator busy(this, "Reading the picture...");
        session.CardBitmap().CopyFrom(&card::LoadBackground(pictures, OpenDialog1.FileName));
        session.State().HasPicture = true;
    } catch (...) {
        // The dialog's file name records the background in the card; a file that could not be
        // read is none, so Verify and Save As go on as before this Find.
        OpenDialog1.FileName = previousName;
        throw;
    }
    session.TakePicture();
}

void TForm1::Save1Click() {
    graphics::TBitmap& card = CardToHandOn(*this, "save");
    SavePictureDialog1.InitialDir = SaveFolder(OpenDialog1);
    // A cancelled dialog writes nothing.
    if (!SavePictureDialog1.Execute())
        return;
    // The save dialog opens in the background's folder, one click away from the original
    // photo: an existing file is replaced only after an explicit yes.
    const std::string fileName = CardFileName(SavePictureDialog1.FileName);
    std::error_code error;
    if (std::filesystem::exists(fileName, error) && !toolkit::ConfirmReplace(fileName))
        return;

    card::BackgroundObjects& pictures = State().Pictures;
    // Before any Find or Verify there are no picture objects yet; the card is saved all the same.
    if (!pictures.WorkBitmap)
        pictures.WorkBitmap = std::make_unique<graphics::TBitmap>();
    if (!pictures.JpegImage) {
        pictures.JpegImage = std::make_unique<jpeg::TJPEGImage>();
        pictures.JpegImage->OnProgress = progress::ProgressListener();
    }

    const progress::BusyIndicator busy(this, "Saving the card...");
    pictures.WorkBitmap->CopyFrom(&card);
    pictures.JpegImage->CopyFrom(pictures.WorkBitmap.get());
    // The picture is encoded before the file is touched and replaces it only once it is
    // completely written, so a failure leaves an existing file as it was.
    pictures.JpegImage->WriteToFile(fileName);
}

void TForm1::Exit1Click() {
    Close();
}

} // namespace velmora
