// The main window's contacts from a log: File > Open Log... opens the contact list, and a
// contact chosen there fills the contact fields.
#include "app/loglist/LogSettings.h"
#include "app/mnVelmora.h"

namespace velmora {

void TForm1::OpenLog1Click() {
    // The dialog starts at the log opened last, or in its folder once that log is gone.
    const loglist::LogSettings settings;
    OpenLogDialog.Title = "Open Log";
    OpenLogDialog.Filter = "ADIF log|*.adi *.adx|All files|*";
    OpenLogDialog.FileName = settings.LastLog();
    OpenLogDialog.InitialDir = settings.LastFolder();
    if (!OpenLogDialog.Execute())
        return;
    if (!ContactList)
        ContactList = new loglist::ContactListWindow(
            this, [this](const contacts::ContactFields& fields) { FillContactFields(fields); });
    ContactList->Load(OpenLogDialog.FileName);
}

void TForm1::FillContactFields(const contacts::ContactFields& fields) {
    LabeledEdit12->SetText(fields.station);
    LabeledEdit14->SetText(fields.operatorName);
    LabeledEdit3->SetText(fields.date);
    LabeledEdit4->SetText(fields.utc);
    LabeledEdit5->SetText(fields.qrg);
    LabeledEdit6->SetText(fields.rst);
    LabeledEdit7->SetText(fields.mode);
}

} // namespace velmora
