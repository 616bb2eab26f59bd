// The main window's print commands: Print and Print Setup. The printer, its paper and the card
// options stay as chosen for the rest of the session.
#include "app/mnVelmora.h"
#include "app/print/CardPrinter.h"
#include "app/print/PrintDialogs.h"

namespace velmora {

void TForm1::Print1Click() {
    QPrinter& printer = Printing.Printer();
    if (!print::PrintDialogs().RunPrint(printer, Printing.Options))
        return;
    print::PrintCard(print::CardImageOf(session_.CardBitmap()), printer, Printing.Options);
}

void TForm1::PrintSetup1Click() {
    print::PrintDialogs().RunPageSetup(Printing.Printer());
}

} // namespace velmora
