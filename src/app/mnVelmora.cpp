#include "app/mnVelmora.h"

#include "app/progress/BusyIndicator.h"
#include "app/toolkit/Application.h"
#include "app/toolkit/Menus.h"

#include <QMenu>
#include <QMenuBar>
#include <array>

namespace velmora {

TForm1* Form1 = nullptr;

namespace {

using toolkit::scCtrl;
using toolkit::ShortCut;

struct EditDesign {
    toolkit::TLabeledEdit* TForm1::*field;
    const char* name;
    const char* label;
    const char* hint;
    int tabOrder;
    int left, top, width;
};

// The fields as designed, in creation order.
constexpr std::array<EditDesign, 18> kEdits{{
    {&TForm1::LabeledEdit1, "LabeledEdit1", "QRA: ", "Your QRA", 0, 560, 72, 73},
    {&TForm1::LabeledEdit2, "LabeledEdit2", "Operator: ", "Your Name", 1, 688, 72, 105},
    {&TForm1::LabeledEdit12, "LabeledEdit12", "Rem QRA:", "Contacted Station", 2, 584, 104, 73},
    {&TForm1::LabeledEdit14, "LabeledEdit14", "Rem Op:", "Contacted Operator", 3, 712, 104, 81},
    {&TForm1::LabeledEdit3, "LabeledEdit3", "Date: ", "QSO Date", 4, 560, 136, 73},
    {&TForm1::LabeledEdit4, "LabeledEdit4", "UTC: ", "QSO Time", 5, 720, 136, 73},
    {&TForm1::LabeledEdit5, "LabeledEdit5", "QRG: ", "MHz", 6, 560, 168, 57},
    {&TForm1::LabeledEdit6, "LabeledEdit6", "RST: ", "RST", 7, 656, 168, 49},
    {&TForm1::LabeledEdit7, "LabeledEdit7", "Mode: ", "Mode", 8, 744, 168, 49},
    {&TForm1::LabeledEdit11, "LabeledEdit11", "QTH: ", "Your QTH, only one line", 9, 560, 200, 233},
    {&TForm1::LabeledEdit10, "LabeledEdit10", "Country: ", "Country", 10, 560, 264, 121},
    {&TForm1::LabeledEdit13, "LabeledEdit13", "RIG:", "Your Station, if any", 11, 560, 296, 113},
    {&TForm1::LabeledEdit9, "LabeledEdit9", "Thanks:", "Your Thanks message", 12, 560, 328, 185},
    {&TForm1::LabeledEdit8, "LabeledEdit8",
     "Image: ", "The background for you  QSL card ... Touch Find to search", 13, 560, 40, 193},
    {&TForm1::LabeledEdit15, "LabeledEdit15", "City: ", "City of your QTH", 18, 560, 232, 153},
    {&TForm1::LabeledEdit16, "LabeledEdit16", "State: ", "State of your QTH", 19, 760, 232, 33},
    {&TForm1::LabeledEdit17, "LabeledEdit17", "ANT:", "Your Station, if any", 20, 712, 296, 81},
    {&TForm1::LabeledEdit18, "LabeledEdit18", "ZIP:", "Country", 21, 728, 264, 73},
}};

} // namespace

TForm1::TForm1() : TForm("Form1"), session_(ProfileLocationFor(toolkit::Application().ExeName())) {
    SetCaption("Velmora -  v 1.3");
    SetClientSize(804, 407);
    SetPosition(toolkit::poDesktopCenter);
    SetColor(graphics::clBtnFace);
    OpenDialog1.Filter = "JPEG|*.jpg;*.jpeg|Bitmap|*.bmp|GIF|*.gif";
    CreateControls();
    CreateMenus();
    ApplyTabOrder();
    // The preview shows the session's card: every change of the card picture is handed to it
    // (a picture assignment, which shares the card's pixels), so it repaints as before.
    session_.OnCardChanged = [this](const graphics::TPicture& card) {
        Image1->Image().SetPicture(card);
    };
    session_.OnProgress = progress::ProgressListener();
    Form1 = this;
}

TForm1::~TForm1() {
    session_.OnCardChanged = nullptr;
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::CreateControls() {
    for (const EditDesign& design : kEdits) {
        auto* edit = new toolkit::TLabeledEdit(Client(), design.name);
        edit->SetBounds(design.left, design.top, design.width);
        edit->SetLabelCaption(design.label);
        toolkit::SetHint(*edit, design.hint);
        toolkit::SetTabOrder(*edit, design.tabOrder);
        this->*design.field = edit;
    }
    LabeledEdit9->SetText("73 ES TKS FER QSO, PSE QSL");

    Button1 = new toolkit::TButton(Client(), "Button1");
    Button1->SetCaption("Find");
    toolkit::SetBounds(*Button1, 760, 40, 33, 25);
    toolkit::SetTabOrder(*Button1, 14);
    Button1->SetOnClick([this] { Button1Click(); });

    Button2 = new toolkit::TButton(Client(), "Button2");
    Button2->SetCaption("Verify");
    toolkit::SetBounds(*Button2, 607, 360, 82, 25);
    toolkit::SetTabOrder(*Button2, 15);
    Button2->SetOnClick([this] { Button2Click(); });

    Panel1 = new toolkit::TPanel(Client(), "Panel1");
    Panel1->SetCaption("BACKGROUND");
    Panel1->SetBevels(toolkit::bvRaised, toolkit::bvLowered);
    toolkit::SetBounds(*Panel1, 11, 40, 497, 317);
    toolkit::SetTabOrder(*Panel1, 17);

    Image1 = new toolkit::TImageWidget(Panel1, "Image1");
    Image1->SetBounds(2, 0, 495, 315);
    Image1->Image().SetStretch(true);

    StatusBar1 = new toolkit::TStatusBar(Client(), "StatusBar1");
    toolkit::SetBounds(*StatusBar1, 0, 388, 804, 19);
}

void TForm1::CreateMenus() {
    MainMenu1 = toolkit::NewMainMenu(this, "MainMenu1");
    QMenu* file = toolkit::AddMenu(MainMenu1, "File1", "&File");
    toolkit::AddItem(file,
                     {"OpenLog1", "Open &Log...", ShortCut('L', scCtrl),
                      "Fill the contact fields from a contact of your log"},
                     [this] { OpenLog1Click(); });
    toolkit::AddSeparator(file, "N4");
    toolkit::AddItem(file, {"SaveAs1", "Save &As...", toolkit::scNone, "Save your QSL Card"},
                     [this] { Save1Click(); });
    toolkit::AddSeparator(file, "N3");
    toolkit::AddItem(file, {"Print1", "&Print", ShortCut('P', scCtrl), ""},
                     [this] { Print1Click(); });
    toolkit::AddItem(file, {"PrintSetup1", "Prin&t Setup...", toolkit::scNone, ""},
                     [this] { PrintSetup1Click(); });
    toolkit::AddItem(file,
                     {"PrintLabels1", "Print La&bels...", toolkit::scNone,
                      "Print QSL labels for the contacts of a log"},
                     [this] { PrintLabels1Click(); });
    toolkit::AddSeparator(file, "N2");
    toolkit::AddItem(file, {"Exit1", "E&xit", toolkit::scNone, ""}, [this] { Exit1Click(); });

    QMenu* edit = toolkit::AddMenu(MainMenu1, "Edit1", "&Edit");
    toolkit::AddItem(edit, {"Undo2", "&Undo", ShortCut('Z', scCtrl), ""}, [this] { Undo2Click(); });
    toolkit::AddItem(edit, {"Repeatcommand1", "Redo", toolkit::scNone, ""},
                     [this] { Repeatcommand1Click(); });
    toolkit::AddSeparator(edit, "N7");
    toolkit::AddItem(edit, {"Cut2", "Cu&t", ShortCut('X', scCtrl), ""}, [this] { Cut2Click(); });
    toolkit::AddItem(edit, {"Copy2", "&Copy", ShortCut('C', scCtrl), ""}, [this] { Copy2Click(); });
    toolkit::AddItem(edit, {"Paste2", "&Paste", ShortCut('V', scCtrl), ""},
                     [this] { Paste2Click(); });

    QMenu* tools = toolkit::AddMenu(MainMenu1, "ools1", "Tools");
    toolkit::AddItem(
        tools, {"SelectFontColor1", "Select Font Color", toolkit::scNone, "Select the Text Color"},
        [this] { SelectFontColor1Click(); });
    toolkit::AddItem(tools, {"Parms1", "Setup Parms", toolkit::scNone, ""},
                     [this] { Parms1Click(); });
    toolkit::AddItem(tools, {"CallIDFont1", "CallID Font", toolkit::scNone, ""},
                     [this] { CallIDFont1Click(); });

    QMenu* help = toolkit::AddMenu(MainMenu1, "About1", "Help");
    toolkit::AddItem(help, {"HowTo1", "How To", toolkit::scNone, ""}, [this] { HowTo1Click(); });
    toolkit::AddItem(help, {"About2", "About", toolkit::scNone, ""}, [this] { About2Click(); });
    SetMenu(MainMenu1);

    PopupMenu1 = toolkit::NewPopupMenu(this, "PopupMenu1");
    toolkit::AddPopupItem(PopupMenu1, {"Copy1", "Copy", ShortCut('C', scCtrl), ""},
                          [this] { Copy2Click(); });
    toolkit::AddPopupItem(PopupMenu1, {"Cut1", "Cut", ShortCut('X', scCtrl), ""},
                          [this] { Cut2Click(); });
    toolkit::AddPopupItem(PopupMenu1, {"Paste1", "Paste", ShortCut('V', scCtrl), ""},
                          [this] { Paste2Click(); });
    toolkit::AddSeparator(PopupMenu1, "N1");
    toolkit::AddPopupItem(PopupMenu1, {"Undo1", "Undo", ShortCut('Z', scCtrl), ""},
                          [this] { Undo1Click(); });
    Image1->SetPopupMenu(PopupMenu1);
}

void TForm1::FormCreate() {
    // 1. The station profile, into the fields that show it.
    const StationProfile& profile = session_.ReadStationProfile();
    LabeledEdit1->SetText(profile.CALLID);
    LabeledEdit2->SetText(profile.Name);
    LabeledEdit11->SetText(profile.Addr);
    LabeledEdit15->SetText(profile.City);
    LabeledEdit16->SetText(profile.State);
    LabeledEdit10->SetText(profile.Country);
    LabeledEdit13->SetText(profile.RIG);
    LabeledEdit17->SetText(profile.ANT);
    LabeledEdit9->SetText(profile.TKS);
    LabeledEdit18->SetText(profile.ZIP);

    // 2. and 3. The card: a white bitmap of the preview's size, which the preview then shows,
    // and the call-sign font from its canvas's font.
    session_.StartCard(Image1->Image().Width(), Image1->Image().Height());
}

void TForm1::FormActivate() {
    session_.Activate();
}

card::CardData TForm1::TypedCardData() const {
    card::CardData fields;
    fields.callSign = LabeledEdit1->Text();
    fields.operatorName = LabeledEdit2->Text();
    fields.date = LabeledEdit3->Text();
    fields.utc = LabeledEdit4->Text();
    fields.frequency = LabeledEdit5->Text();
    fields.rst = LabeledEdit6->Text();
    fields.mode = LabeledEdit7->Text();
    fields.thanks = LabeledEdit9->Text();
    fields.country = LabeledEdit10->Text();
    fields.qth = LabeledEdit11->Text();
    fields.contactedStation = LabeledEdit12->Text();
    fields.rig = LabeledEdit13->Text();
    fields.contactedOperator = LabeledEdit14->Text();
    fields.city = LabeledEdit15->Text();
    fields.state = LabeledEdit16->Text();
    fields.antenna = LabeledEdit17->Text();
    fields.zip = LabeledEdit18->Text();
    return fields;
}

card::CardData TForm1::CurrentCardData() const {
    return session_.CardDataFor(TypedCardData());
}

} // namespace velmora
