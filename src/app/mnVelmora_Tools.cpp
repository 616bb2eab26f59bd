// The main window's card tools: Verify with the card composition, the text colour, the
// call-sign font and the setup window.
#include "app/mnSetup.h"
#include "app/mnVelmora.h"
#include "app/progress/BusyIndicator.h"

namespace velmora {

void TForm1::Button2Click() {
    // Until a Find or a Paste has put a picture into the card, every Verify starts from a fresh
    // copy of the blank card template, at its own size, and keeps a snapshot of it for Undo. A
    // missing template ends Verify here, before anything is drawn.
    if (session_.NeedsBlankCard()) {
        const progress::BusyIndicator busy(this, "Reading the blank card...");
        session_.LoadBlankCard();
    }
    DrawBoxes();
}

void TForm1::DrawBoxes() {
    session_.DrawBoxes(TypedCardData());
}

void TForm1::SelectFontColor1Click() {
    // The dialog keeps the last colour chosen, which activation may since have reset in the
    // card; a cancel therefore keeps the card's colour rather than taking the dialog's.
    if (ColorDialog1.Execute())
        session_.State().TextColor = ColorDialog1.Color;
}

void TForm1::CallIDFont1Click() {
    FontDescription& callId = session_.State().CallIdFont;
    graphics::TFont& font = FontDialog1.Font();
    // Size first, then colour, name and style; taken back as style, size, colour and name.
    font.SetSize(callId.size);
    font.SetColor(callId.color);
    font.SetName(callId.name);
    font.SetStyle(callId.style);
    if (!FontDialog1.Execute())
        return;
    callId.style = font.Style();
    callId.size = font.Size();
    callId.color = font.Color();
    callId.name = font.Name();
}

void TForm1::Parms1Click() {
    if (Form3 != nullptr)
        Form3->Show();
}

} // namespace velmora
