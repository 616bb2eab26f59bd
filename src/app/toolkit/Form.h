// TForm: a top-level window of the program with a designed client area. The client area is
// the main window's central widget and keeps its designed size; a main menu, when there is one,
// is the window's menu bar above it. Controls are placed at their designed pixel positions
// inside the client area.
#pragma once

#include "graphics/Color.h"

#include <QMainWindow>
#include <string>

class QMenuBar;

namespace toolkit {

enum TPosition { poDesigned, poDesktopCenter, poMainFormCenter };

class TForm : public QMainWindow {
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
    // The form's main menu; the form takes it over (a previous one is deleted).
    void SetMenu(QMenuBar* menu);
    QMenuBar* Menu() const;

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
    // A form becoming the active window is what activates it; dialogs and message boxes are
    // other windows, so coming back from one finds the form still the active form.
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void PlaceOnFirstShow();
    void UpdateSize();

    QWidget* client_;
    TPosition position_ = poDesigned;
    graphics::TColor color_ = graphics::clBtnFace;
    bool placed_ = false;
};

} // namespace toolkit
