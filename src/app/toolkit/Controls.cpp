#include "app/toolkit/Controls.h"

#include "app/toolkit/Application.h"
#include "app/toolkit/Style.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
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

TLabeledEdit::TLabeledEdit(QWidget* parent, const std::string& name)
    : QLineEdit(parent), label_(new QLabel(parent)) {
    setObjectName(ToQString(name));
    label_->setObjectName(ToQString(name + ".EditLabel"));
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label_->setTextFormat(Qt::PlainText);
    resize(121, kHeight);
}

std::string TLabeledEdit::LabelCaption() const {
    return FromQString(label_->text());
}

void TLabeledEdit::SetLabelCaption(const std::string& caption) {
    label_->setText(ToQString(caption));
    PlaceLabel();
}

std::string TLabeledEdit::Text() const {
    return FromQString(text());
}
void TLabeledEdit::SetText(const std::string& value) {
    setText(ToQString(value));
}

void TLabeledEdit::SetBounds(int left, int top, int width) {
    setGeometry(left, top, width, kHeight);
    PlaceLabel();
}

void TLabeledEdit::PlaceLabel() {
    const int width = label_->fontMetrics().horizontalAdvance(label_->text());
    label_->setGeometry(x() - width - kLabelSpacing, y() + (height() - kLabelHeight) / 2, width,
                        kLabelHeight);
}

bool TLabeledEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo)) {
            // Leave the key to the window's shortcut; with none, it comes back as a key press.
            event->ignore();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TLabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    PlaceLabel();
}

void TLabeledEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceLabel();
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
