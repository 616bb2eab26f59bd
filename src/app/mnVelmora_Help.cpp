// The main window's help commands: How To and About.
#include "app/help/HelpViewer.h"
#include "app/mnAbout.h"
#include "app/mnVelmora.h"

namespace velmora {

// The contents page of the window's own help file, in the program's help viewer; a missing
// help file is reported by the viewer's error.
void TForm1::HowTo1Click() {
    help::HelpViewerFor(*this).ShowContents(HelpFile);
}

void TForm1::About2Click() {
    if (Form2 != nullptr)
        Form2->Show();
}

} // namespace velmora
