// The main window's edit commands: the picture history and the clipboard, run on the card
// session.
#include "app/mnVelmora.h"

namespace velmora {

void TForm1::Undo1Click() {
    Undo2Click();
}

void TForm1::Undo2Click() {
    session_.UndoPicture();
}

void TForm1::Repeatcommand1Click() {
    session_.RedoPicture();
}

void TForm1::Copy2Click() {
    session_.Copy();
}

void TForm1::Cut2Click() {
    session_.Cut();
}

void TForm1::Paste2Click() {
    session_.Paste();
}

} // namespace velmora
