// The main window's card tools: Verify with the card composition, the text colour, the
// call-sign font and the setup window.
#include "app/mnSetup.h"
#include "app/mnVelmora.h"

namespace velmora {

void TForm1::Button2Click() {
    // Putting the blank template in place when no background was chosen comes with issue 8.
    DrawBoxes();
}

void TForm1::DrawBoxes() {
    CardSession& session = *this;
    card::DrawBoxes(session.CardCanvas(), session.CurrentCardData(), session.State().SavedFont);
}

void TForm1::SelectFontColor1Click() {
    // Choosing the text colour comes with issue 8.
}

void TForm1::CallIDFont1Click() {
    // Choosing the call-sign font comes with issue 8.
}

void TForm1::Parms1Click() {
    if (Form3 != nullptr)
        Form3->Show();
}

} // namespace velmora
