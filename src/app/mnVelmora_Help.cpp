// The main window's help commands: How To and About.
#include "app/mnAbout.h"
#include "app/mnVelmora.h"

namespace velmora {

void TForm1::HowTo1Click() {
    // The help viewer showing the contents of the help file comes with issue 8.
}

void TForm1::About2Click() {
    if (Form2 != nullptr)
        Form2->Show();
}

} // namespace velmora
