// TForm3: the setup window "Setup Parameters", modeless, editing the station profile. Save
// writes the fields to the profile file; Clear empties the fields; Cancel hides the window.
#pragma once

#include "app/toolkit/Controls.h"
#include "app/toolkit/Form.h"
#include "profile/StationProfile.h"

namespace velmora {

class TForm3 : public toolkit::TForm {
  public:
    // The profile belongs to the main window and outlives this window.
    explicit TForm3(ProfileStore& store);
    ~TForm3() override;

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
    toolkit::TBitBtn* BitBtn1;
    toolkit::TBitBtn* BitBtn2;
    toolkit::TBitBtn* BitBtn3;
    toolkit::TStatusBar* StatusBar1;

    void FormCreate() override;
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

  private:
    ProfileStore& store_;
};

extern TForm3* Form3;

} // namespace velmora
