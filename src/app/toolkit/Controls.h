// The controls of the forms: labelled edits, buttons, the bevelled panel, the status bar and
// the rich text box, with the designed properties the program sets on them: bounds in client
// pixels, tab order, hint (shown as a tool tip) and captions.
#pragma once

#include "graphics/Color.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QStatusBar>
#include <QTextEdit>
#include <functional>
#include <string>
#include <vector>

class QLabel;

namespace toolkit {

// Tab order is kept as a property of each control, so the form can chain the focus by it and
// tests can read it back. -1: the control takes no part.
void SetTabOrder(QWidget& control, int order);
int TabOrder(const QWidget& control);
void SetHint(QWidget& control, const std::string& hint);
std::string Hint(const QWidget& control);
void SetBounds(QWidget& control, int left, int top, int width, int height);

// An edit with its label on the left, as one control: the label is as wide as its caption, 13
// pixels high, right-aligned against the edit with a 3-pixel gap, and vertically centred on it.
// The control spans label and edit, so the label moves with the edit by construction. Focus,
// keys and the tab order go to the edit; the hint shows over the edit only.
class TLabeledEdit : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHeight = 21;
    static constexpr int kLabelHeight = 13;
    static constexpr int kLabelSpacing = 3;

    TLabeledEdit(QWidget* parent, const std::string& name);

    QLabel* EditLabel() const { return label_; }
    // The edit field inside the control.
    QLineEdit* Edit() const { return edit_; }
    std::string LabelCaption() const;
    void SetLabelCaption(const std::string& caption);
    std::string Text() const;
    void SetText(const std::string& text);
    void SelectAll();
    void Clear();
    // left, top and width are the edit's, in the parent's pixels; the label goes left of it.
    void SetBounds(int left, int top, int width);
    // Where the edit and the label are, in the parent's pixels.
    QRect Bounds() const;
    QRect LabelBounds() const;

  protected:
    bool event(QEvent* event) override;
    // Keys sent to the control itself are the edit's.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    class Field;
    void Place(int left, int top, int width);
    void PassKeyToEdit(QEvent* event);

    QLabel* label_;
    Field* field_;
    QLineEdit* edit_;
};

class TButton : public QPushButton {
  public:
    TButton(QWidget* parent, const std::string& name);
    std::string Caption() const;
    void SetCaption(const std::string& caption);
    // The handler runs inside the application's default exception handler.
    void SetOnClick(std::function<void()> handler);
};

// A bitmap button shows no bitmap here, so it is a plain button.
using TBitBtn = TButton;

enum TBevelCut { bvNone, bvLowered, bvRaised };

// A panel: a caption centred in its face, and an outer and an inner bevel one pixel each.
class TPanel : public QFrame {
  public:
    TPanel(QWidget* parent, const std::string& name);
    std::string Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    TBevelCut BevelOuter() const { return outer_; }
    TBevelCut BevelInner() const { return inner_; }
    void SetBevels(TBevelCut outer, TBevelCut inner);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string caption_;
    TBevelCut outer_ = bvRaised;
    TBevelCut inner_ = bvNone;
};

// A status bar without panels.
class TStatusBar : public QStatusBar {
  public:
    TStatusBar(QWidget* parent, const std::string& name);
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A rich text box holding lines of plain text.
class TRichEdit : public QTextEdit {
  public:
    TRichEdit(QWidget* parent, const std::string& name);
    void SetLines(const std::vector<std::string>& lines);
    std::vector<std::string> Lines() const;
    void SetParagraphAlignment(TAlignment alignment);
    void SetColors(graphics::TColor background, graphics::TColor text);

  private:
    TAlignment alignment_ = taLeftJustify;
};

} // namespace toolkit
