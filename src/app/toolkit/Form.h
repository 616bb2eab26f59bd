// TForm: a top-level window of the program with a designed client area. Controls are placed
// at their designed pixel positions inside the client area; a main menu, when there is one,
// sits above it, so the client area keeps its designed size.
#pragma once

#include "graphics/Color.h"

#include <QWidget>
#include <string>

class QMenuBar;

namespace toolkit {

enum TPosition { poDesigned, poDesktopCenter, poMainFormCenter };

class TForm : public QWidget {
  public:
    // name is the component name ("Form1"), also the Qt object name.
    explicit TForm(const std::string& name);
    ~TForm() override;

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    QWidget* Client() const { return client_; }
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientSize(int width, int height);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    graphics::TColor Color() const { return color_; }
    void SetColor(graphics::TColor color);
    // The form's main menu; the form takes it over.
    void SetMenu(QMenuBar* menu);
    QMenuBar* Menu() const { return menu_; }

    // Shows the form, or brings it to the front and activates it when it is shown already.
    void Show();
    // Hides the form; closing the main form ends the program.
    void Close();

    // Chains the keyboard focus through the client's controls by their TabOrder property
    // (see Controls.h); controls without one are left out.
    void ApplyTabOrder();

    // Events. FormCreate runs once after construction (TApplication::CreateForm); FormActivate
    // each time the form becomes the program's active form.
    virtual void FormCreate() {}
    virtual void FormActivate() {}

  protected:
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void PlaceOnFirstShow();
    void Relayout();

    QWidget* client_;
    QMenuBar* menu_ = nullptr;
    TPosition position_ = poDesigned;
    graphics::TColor color_ = graphics::clBtnFace;
    bool placed_ = false;
};

} // namespace toolkit
