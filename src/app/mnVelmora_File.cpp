// The main window's file commands: Find, Save As, Exit. The dialogs and the question before a
// file is replaced are the window's; reading and writing the card is the session's.
#include "app/mnVelmora.h"
#include "app/progress/BusyIndicator.h"

#include <filesystem>

namespace velmora {

namespace {

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
    try {
        const progress::BusyIndicator busy(this, "Reading the picture...");
        session_.FindBackground(OpenDialog1.FileName);
    } catch (...) {
        // The dialog's file name records the background in the card; a file that could not be
        // read is none, so Verify and Save As go on as before this Find.
        OpenDialog1.FileName = previousName;
        throw;
    }
}

void TForm1::Save1Click() {
    // An empty card is refused before the dialog opens.
    session_.CardToHandOn("save");
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
    const progress::BusyIndicator busy(this, "Saving the card...");
    session_.SaveCard(fileName);
}

void TForm1::Exit1Click() {
    Close();
}

} // namespace velmora
