#include "app/mnAbout.h"

#include "app/toolkit/Style.h"

namespace velmora {

TForm2* Form2 = nullptr;

const std::vector<std::string>& TForm2::AboutLines() {
    static const std::vector<std::string> lines{
        "Select your background image using Find button.",
        "If you only want an empty template, touch Vfy button and save the ",
        "image.",
        "You may send all or some of the parameters, without problem, but ",
        "the Operator, QTH and Radio only appear on",
        "card if we have some content.",
        "November/2012",
        "",
        "",
    };
    return lines;
}

TForm2::TForm2() : TForm("Form2") {
    SetCaption("About");
    SetClientSize(330, 183); // outer 346 x 221 with the window frame
    SetPosition(toolkit::poMainFormCenter);
    SetColor(graphics::clNavy);

    RichEdit1 = new toolkit::TRichEdit(Client(), "RichEdit1");
    toolkit::SetBounds(*RichEdit1, 0, 0, 329, 137);
    toolkit::SetTabOrder(*RichEdit1, 0);
    RichEdit1->setFont(toolkit::FormFont());
    RichEdit1->SetColors(graphics::clNavy, graphics::clWindow);
    RichEdit1->SetParagraphAlignment(toolkit::taCenter);
    RichEdit1->SetLines(AboutLines());

    Button1 = new toolkit::TButton(Client(), "Button1");
    Button1->SetCaption("Ok");
    toolkit::SetBounds(*Button1, 128, 152, 75, 25);
    toolkit::SetTabOrder(*Button1, 1);
    Button1->SetOnClick([this] { Button1Click(); });

    ApplyTabOrder();
    Form2 = this;
}

TForm2::~TForm2() {
    if (Form2 == this)
        Form2 = nullptr;
}

void TForm2::Button1Click() {
    Close();
}

} // namespace velmora
