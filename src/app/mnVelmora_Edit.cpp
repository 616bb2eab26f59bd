// The main window's edit commands: the picture history and the clipboard.
#include "app/mnVelmora.h"

namespace velmora {

// Undo, Redo, Cut, Copy and Paste work on the picture history and the clipboard, which come
// with issue 4; until then the commands do nothing.

void TForm1::Undo1Click() {
    Undo2Click();
}

void TForm1::Undo2Click() {}

void TForm1::Repeatcommand1Click() {}

void TForm1::Cut2Click() {}

void TForm1::Copy2Click() {}

void TForm1::Paste2Click() {}

} // namespace velmora
