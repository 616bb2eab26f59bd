#include "app/toolkit/Controls.h"

#include "app/toolkit/Application.h"
#include "app/toolkit/Style.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>
#include <QVariant>

namespace toolkit {

namespace {
constexpr char kTabOrder[] = "TabOrder";
}

void SetTabOrder(QWidget& control, int order) {
    control.setProperty(kTabOrder, order);
}

int TabOrder(const QWidget& control) {
    const QVariant order = control.property(kTabOrder);
    return order.isValid() ? order.toInt() : -1;
}

void SetHint(QWidget& control, const std::string& hint) {
    control.setToolTip(ToQString(hint));
}
std::string Hint(const QWidget& control) {
    return FromQString(control.toolTip());
}

void SetBounds(QWidget& control, int left, int top, int width, int height) {
    control.setGeometry(left, top, width, height);
}

// ---- TLabeledEdit ---------------------------------------------------------------------------

namespace {

// The card's Undo (Ctrl+Z) stays a window command even while an edit has the focus; the
// clipboard keys act on the edit's own text.
bool LeaveUndoToTheWindow(QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride ||
        !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo))
        return false;
    // Leave the key to the window's shortcut; with none, it comes back as a key press.
    event->ignore();
    return true;
}

bool IsKeyEvent(const QEvent* event) {
    return event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
           event->type() == QEvent::ShortcutOverride;
}

} // namespace

// The edit of a labelled edit. A key it leaves unhandled goes on to the labelled edit, which
// must not hand it back, or the edit would handle it twice (Return would be "pressed" twice).
class TLabeledEdit::Field : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

    // True when event is the key this edit has just left unhandled; forgets it either way.
    bool TakeLeftKey(const QEvent* event) {
        const bool left = left_ == event;
        left_ = nullptr;
        return left;
    }

  protected:
    bool event(QEvent* event) override {
        const bool result = LeaveUndoToTheWindow(event) || QLineEdit::event(event);
        left_ = IsKeyEvent(event) && !event->isAccepted() ? event : nullptr;
        return result;
    }

  private:
    const QEvent* left_ = nullptr;
};

TLabeledEdit::TLabeledEdit(QWidget* parent, const std::string& name)
    : QWidget(parent), label_(new QLabel(this)), field_(new Field(this)), edit_(field_) {
    setObjectName(ToQString(name));
    label_->setObjectName(ToQString(name + ".EditLabel"));
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label_->setTextFormat(Qt::PlainText);
    edit_->setObjectName(ToQString(name + ".Edit"));
    // The control takes part in the tab order and hands the focus on to its edit. Tab focus
    // only: a click on the label leaves the focus where it was, a click into the edit takes it.
    setFocusPolicy(Qt::TabFocus);
    setFocusProxy(edit_);
    Place(0, 0, 121);
}

std::string TLabeledEdit::LabelCaption() const {
    return FromQString(label_->text());
}

void TLabeledEdit::SetLabelCaption(const std::string& caption) {
    const QRect field = Bounds();
    label_->setText(ToQString(caption));
    Place(field.left(), field.top(), field.width());
}

std::string TLabeledEdit::Text() const {
    return FromQString(edit_->text());
}
void TLabeledEdit::SetText(const std::string& value) {
    edit_->setText(ToQString(value));
}
void TLabeledEdit::SelectAll() {
    edit_->selectAll();
}
void TLabeledEdit::Clear() {
    edit_->clear();
}

void TLabeledEdit::SetBounds(int left, int top, int width) {
    Place(left, top, width);
}

QRect TLabeledEdit::Bounds() const {
    return edit_->geometry().translated(pos());
}
QRect TLabeledEdit::LabelBounds() const {
    return label_->geometry().translated(pos());
}

void TLabeledEdit::Place(int left, int top, int width) {
    const int labelWidth = label_->fontMetrics().horizontalAdvance(label_->text());
    const int editOffset = labelWidth + kLabelSpacing;
    setGeometry(left - editOffset, top, editOffset + width, kHeight);
    label_->setGeometry(0, (kHeight - kLabelHeight) / 2, labelWidth, kLabelHeight);
    edit_->setGeometry(editOffset, 0, width, kHeight);
}

bool TLabeledEdit::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Keys sent to the control rather than to its edit are the edit's.
        PassKeyToEdit(event);
        return true;
    case QEvent::ToolTip:
        // The hint belongs to the edit, as before: the label shows none.
        if (!edit_->geometry().contains(static_cast<QHelpEvent*>(event)->pos())) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TLabeledEdit::keyPressEvent(QKeyEvent* event) {
    PassKeyToEdit(event);
}

void TLabeledEdit::keyReleaseEvent(QKeyEvent* event) {
    PassKeyToEdit(event);
}

void TLabeledEdit::PassKeyToEdit(QEvent* event) {
    if (field_->TakeLeftKey(event)) {
        event->ignore(); // the edit had it: on to the window
        return;
    }
    // Straight to the edit's handler (its own Undo rule included): sending the event would
    // bring it back here.
    edit_->event(event);
    field_->TakeLeftKey(nullptr);
}

// ---- TButton --------------------------------------------------------------------------------

TButton::TButton(QWidget* parent, const std::string& name) : QPushButton(parent) {
    setObjectName(ToQString(name));
    setAutoDefault(false);
}

std::string TButton::Caption() const {
    return FromQString(text());
}
void TButton::SetCaption(const std::string& caption) {
    setText(ToQString(caption));
}

void TButton::SetOnClick(std::function<void()> handler) {
    QObject::disconnect(this, &QPushButton::clicked, nullptr, nullptr);
    if (!handler)
        return;
    QObject::connect(this, &QPushButton::clicked, this,
                     [handler = std::move(handler)] { Application().Guard(handler); });
}

// ---- TPanel ---------------------------------------------------------------------------------

TPanel::TPanel(QWidget* parent, const std::string& name) : QFrame(parent) {
    setObjectName(ToQString(name));
}

void TPanel::SetCaption(const std::string& caption) {
    caption_ = caption;
    update();
}

void TPanel::SetBevels(TBevelCut outer, TBevelCut inner) {
    outer_ = outer;
    inner_ = inner;
    update();
}

void TPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(graphics::clBtnFace));
    const QColor light = ToQColor(graphics::clBtnHighlight);
    const QColor shadow = ToQColor(graphics::clBtnShadow);
    QRect frame = rect();
    // One pixel per bevel: a raised cut is light on the top and left edges, a lowered one dark.
    auto drawBevel = [&](TBevelCut cut) {
        if (cut == bvNone)
            return;
        const QColor topLeft = cut == bvRaised ? light : shadow;
        const QColor bottomRight = cut == bvRaised ? shadow : light;
        painter.setPen(topLeft);
        painter.drawLine(frame.topLeft(), frame.topRight());
        painter.drawLine(frame.topLeft(), frame.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(frame.bottomLeft(), frame.bottomRight());
        painter.drawLine(frame.topRight(), frame.bottomRight());
        frame.adjust(1, 1, -1, -1);
    };
    drawBevel(outer_);
    drawBevel(inner_);
    painter.setPen(ToQColor(graphics::clBtnText));
    painter.drawText(frame, Qt::AlignCenter, ToQString(caption_));
}

// ---- TStatusBar -----------------------------------------------------------------------------

TStatusBar::TStatusBar(QWidget* parent, const std::string& name) : QStatusBar(parent) {
    setObjectName(ToQString(name));
    setSizeGripEnabled(false);
}

// ---- TRichEdit ------------------------------------------------------------------------------

TRichEdit::TRichEdit(QWidget* parent, const std::string& name) : QTextEdit(parent) {
    setObjectName(ToQString(name));
    setAcceptRichText(false);
    // No scroll bars and a narrow margin, as the designed box: the text gets the whole width.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(1);
}

void TRichEdit::SetLines(const std::vector<std::string>& lines) {
    QString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += ToQString(lines[i]);
    }
    setPlainText(text);
    SetParagraphAlignment(alignment_);
}

std::vector<std::string> TRichEdit::Lines() const {
    std::vector<std::string> lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        lines.push_back(FromQString(block.text()));
    return lines;
}

void TRichEdit::SetParagraphAlignment(TAlignment alignment) {
    alignment_ = alignment;
    const Qt::Alignment qtAlignment = alignment == taCenter         ? Qt::AlignHCenter
                                      : alignment == taRightJustify ? Qt::AlignRight
                                                                    : Qt::AlignLeft;
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(qtAlignment);
    cursor.mergeBlockFormat(format);
}

void TRichEdit::SetColors(graphics::TColor background, graphics::TColor text) {
    QPalette colours = palette();
    colours.setColor(QPalette::Base, ToQColor(background));
    colours.setColor(QPalette::Text, ToQColor(text));
    setPalette(colours);
}

} // namespace toolkit
