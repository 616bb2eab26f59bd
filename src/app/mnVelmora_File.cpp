// The main window's file commands: Find, Save As, Exit.
#include "app/mnVelmora.h"

namespace velmora {

void TForm1::Button1Click() {
    // Find: choosing, reading and fitting a background comes with issue 8.
}

void TForm1::Save1Click() {
    // Save As: writing the card as a JPEG file comes with issue 8.
}

void TForm1::Exit1Click() {
    Close();
}

} // namespace velmora
