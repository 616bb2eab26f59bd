// File > Print Labels...: a log is chosen in the open dialog, its labels in the label sheets
// dialog. The dialog is modeless, so the card can be worked on beside it.
#include "app/labels/LabelSheetsDialog.h"
#include "app/loglist/LogSettings.h"
#include "app/mnVelmora.h"

namespace velmora {

void TForm1::PrintLabels1Click() {
    const loglist::LogSettings settings;
    toolkit::TOpenDialog open;
    open.Title = "Print Labels";
    open.Filter = "ADIF log|*.adi *.adx|All files|*";
    open.FileName = settings.LastLog();
    open.InitialDir = settings.LastFolder();
    if (!open.Execute())
        return;
    // A log that cannot be read raises here, before any dialog exists.
    labels::LogForLabels log = labels::LogForLabels::Read(open.FileName);
    loglist::LogSettings().SetLastLog(open.FileName);
    auto* dialog = new labels_window::LabelSheetsDialog(std::move(log), settings.DatePattern(),
                                                        session_.Profile().CALLID, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowFlag(Qt::Dialog);
    dialog->show();
}

} // namespace velmora
