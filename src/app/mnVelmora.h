// TForm1: the main window. The card preview on the left, the contact and station fields and the
// Find and Verify buttons on the right, the main menu above and the preview's context menu.
// Its handlers are grouped by feature in mnVelmora_File.cpp, mnVelmora_Edit.cpp,
// mnVelmora_Tools.cpp, mnVelmora_Help.cpp and mnVelmora_Print.cpp; each gathers its input from
// the fields and dialogs, runs the command on the CardSession, which owns the card, and shows.
#pragma once

#include "app/CardSession.h"
#include "app/loglist/ContactListWindow.h"
#include "app/print/PrintSession.h"
#include "app/toolkit/Controls.h"
#include "app/toolkit/Dialogs.h"
#include "app/toolkit/Form.h"
#include "app/toolkit/ImageWidget.h"
#include "profile/StationProfile.h"

#include <QPointer>
#include <memory>
#include <string>

class QMenu;
class QMenuBar;

namespace velmora {

class TForm1 : public toolkit::TForm {
  public:
    TForm1();
    ~TForm1() override;

    // ---- Controls (owned by the window).
    toolkit::TLabeledEdit* LabeledEdit1;
    toolkit::TLabeledEdit* LabeledEdit2;
    toolkit::TLabeledEdit* LabeledEdit3;
    toolkit::TLabeledEdit* LabeledEdit4;
    toolkit::TLabeledEdit* LabeledEdit5;
    toolkit::TLabeledEdit* LabeledEdit6;
    toolkit::TLabeledEdit* LabeledEdit7;
    toolkit::TLabeledEdit* LabeledEdit8;
    toolkit::TLabeledEdit* LabeledEdit9;
    toolkit::TLabeledEdit* LabeledEdit10;
    toolkit::TLabeledEdit* LabeledEdit11;
    toolkit::TLabeledEdit* LabeledEdit12;
    toolkit::TLabeledEdit* LabeledEdit13;
    toolkit::TLabeledEdit* LabeledEdit14;
    toolkit::TLabeledEdit* LabeledEdit15;
    toolkit::TLabeledEdit* LabeledEdit16;
    toolkit::TLabeledEdit* LabeledEdit17;
    toolkit::TLabeledEdit* LabeledEdit18;
    toolkit::TButton* Button1;
    toolkit::TButton* Button2;
    toolkit::TPanel* Panel1;
    toolkit::TImageWidget* Image1;
    toolkit::TStatusBar* StatusBar1;
    QMenuBar* MainMenu1;
    QMenu* PopupMenu1;

    toolkit::TOpenDialog OpenDialog1;
    toolkit::TSavePictureDialog SavePictureDialog1;
    toolkit::TColorDialog ColorDialog1;
    toolkit::TFontDialog FontDialog1;
    // Chooses the contact log (File > Open Log...).
    toolkit::TOpenDialog OpenLogDialog;
    // The contact list, made by the first Open Log and owned by this window.
    QPointer<loglist::ContactListWindow> ContactList;
    // The printer, its paper and the card options, kept for the session.
    print::PrintSession Printing;

    // The help file while this window is active.
    std::string HelpFile = "VELMORA.HLP";

    // ---- Events.
    void FormCreate() override;
    void FormActivate() override;

    // ---- File.
    void Button1Click();
    void Save1Click();
    void Exit1Click();
    // ---- Contacts from a log (mnVelmora_Log.cpp).
    void OpenLog1Click();
    // Puts a contact chosen in the list into the contact fields; the own station's stay.
    void FillContactFields(const contacts::ContactFields& fields);
    // ---- Print (mnVelmora_Print.cpp).
    void Print1Click();
    void PrintSetup1Click();
    // ---- Labels (mnVelmora_Labels.cpp).
    void PrintLabels1Click();
    // ---- Edit.
    void Undo1Click();
    void Undo2Click();
    void Repeatcommand1Click();
    void Cut2Click();
    void Copy2Click();
    void Paste2Click();
    // ---- Tools.
    void Button2Click();
    void SelectFontColor1Click();
    void Parms1Click();
    void CallIDFont1Click();
    // ---- Help.
    void HowTo1Click();
    void About2Click();

    // Verify's drawing: the overlay of the fields as typed now.
    void DrawBoxes();

    // The card, its history, the drawing state and the station profile.
    CardSession& Session() { return session_; }
    const CardSession& Session() const { return session_; }
    // Everything the overlay would be drawn from now: the typed fields, completed by the
    // session with the profile's power, the text colour and the call-sign font.
    card::CardData CurrentCardData() const;

  private:
    void CreateControls();
    void CreateMenus();
    // The card data as typed into the fields.
    card::CardData TypedCardData() const;

    CardSession session_;
};

// The program's main window; set while it exists.
extern TForm1* Form1;

} // namespace velmora
