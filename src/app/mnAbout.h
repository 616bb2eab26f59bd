// TForm2: the About window, modeless; "Ok" hides it.
#pragma once

#include "app/toolkit/Controls.h"
#include "app/toolkit/Form.h"

#include <string>
#include <vector>

namespace velmora {

class TForm2 : public toolkit::TForm {
  public:
    TForm2();
    ~TForm2() override;

    toolkit::TRichEdit* RichEdit1;
    toolkit::TButton* Button1;

    void Button1Click();

    // The text the window shows, line by line.
    static const std::vector<std::string>& AboutLines();
};

extern TForm2* Form2;

} // namespace velmora
