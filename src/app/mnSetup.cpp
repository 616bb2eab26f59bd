#include "app/mnSetup.h"

#include <array>

namespace velmora {

TForm3* Form3 = nullptr;

namespace {

struct SetupField {
    toolkit::TLabeledEdit* TForm3::*field;
    const char* name;
    const char* label;
    std::string StationProfile::*value;
    int tabOrder;
    int left, top, width;
};

// Field order LabeledEdit1 to LabeledEdit11: the order of filling and of taking the values.
constexpr std::array<SetupField, 11> kFields{{
    {&TForm3::LabeledEdit1, "LabeledEdit1", "CALLID:", &StationProfile::CALLID, 0, 64, 24, 89},
    {&TForm3::LabeledEdit2, "LabeledEdit2", "Name:", &StationProfile::Name, 1, 64, 56, 281},
    {&TForm3::LabeledEdit3, "LabeledEdit3", "ADDR:", &StationProfile::Addr, 2, 64, 88, 281},
    {&TForm3::LabeledEdit4, "LabeledEdit4", "City:", &StationProfile::City, 3, 64, 120, 185},
    {&TForm3::LabeledEdit5, "LabeledEdit5", "State:", &StationProfile::State, 4, 296, 120, 49},
    {&TForm3::LabeledEdit6, "LabeledEdit6", "ZIP:", &StationProfile::ZIP, 5, 64, 152, 193},
    {&TForm3::LabeledEdit7, "LabeledEdit7", "Country:", &StationProfile::Country, 6, 208, 24, 137},
    {&TForm3::LabeledEdit8, "LabeledEdit8", "RIG:", &StationProfile::RIG, 7, 64, 184, 281},
    {&TForm3::LabeledEdit9, "LabeledEdit9", "Antenna:", &StationProfile::ANT, 8, 64, 216, 193},
    {&TForm3::LabeledEdit10, "LabeledEdit10", "PWR:", &StationProfile::PWR, 9, 296, 216, 49},
    {&TForm3::LabeledEdit11, "LabeledEdit11", "TKS :", &StationProfile::TKS, 14, 64, 248, 281},
}};

} // namespace

TForm3::TForm3(ProfileStore& store) : TForm("Form3"), store_(store) {
    SetCaption("Setup Parameters");
    SetClientSize(378, 336); // outer 394 x 374 with the window frame
    SetPosition(toolkit::poMainFormCenter);
    SetColor(graphics::clBtnFace);

    for (const SetupField& design : kFields) {
        auto* edit = new toolkit::TLabeledEdit(Client(), design.name);
        edit->SetBounds(design.left, design.top, design.width);
        edit->SetLabelCaption(design.label);
        toolkit::SetTabOrder(*edit, design.tabOrder);
        this->*design.field = edit;
    }
    struct ButtonDesign {
        toolkit::TBitBtn* TForm3::*field;
        const char* name;
        const char* caption;
        int tabOrder;
        int left;
        void (TForm3::*handler)();
    };
    const std::array<ButtonDesign, 3> buttons{{
        {&TForm3::BitBtn1, "BitBtn1", "Save", 10, 64, &TForm3::BitBtn1Click},
        {&TForm3::BitBtn2, "BitBtn2", "Clear", 11, 152, &TForm3::BitBtn2Click},
        {&TForm3::BitBtn3, "BitBtn3", "Cancel", 12, 240, &TForm3::BitBtn3Click},
    }};
    for (const ButtonDesign& design : buttons) {
        auto* button = new toolkit::TBitBtn(Client(), design.name);
        button->SetCaption(design.caption);
        toolkit::SetBounds(*button, design.left, 281, 75, 25);
        toolkit::SetTabOrder(*button, design.tabOrder);
        button->SetOnClick([this, handler = design.handler] { (this->*handler)(); });
        this->*design.field = button;
    }
    StatusBar1 = new toolkit::TStatusBar(Client(), "StatusBar1");
    toolkit::SetBounds(*StatusBar1, 0, 317, 378, 19);

    ApplyTabOrder();
    Form3 = this;
}

TForm3::~TForm3() {
    if (Form3 == this)
        Form3 = nullptr;
}

void TForm3::FormCreate() {
    for (const SetupField& design : kFields)
        (this->*design.field)->SetText(store_.Values.*design.value);
}

void TForm3::BitBtn1Click() {
    for (const SetupField& design : kFields)
        store_.Values.*design.value = (this->*design.field)->Text();
    WriteProfile(store_.IniFile, store_.Values);
}

void TForm3::BitBtn2Click() {
    for (const SetupField& design : kFields)
        (this->*design.field)->Clear();
}

void TForm3::BitBtn3Click() {
    Close();
}

} // namespace velmora
