// Colours and fonts of the design, as Qt takes them.
#pragma once

#include "graphics/Color.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <string>
#include <string_view>

namespace toolkit {

// A TColor with system colours resolved through the platform's colour table.
QColor ToQColor(graphics::TColor color);
graphics::TColor FromQColor(const QColor& color);

// The family Qt draws a designed face with: "MS Sans Serif" and "Default" become the face the
// platform's own text drawing resolves them to, so the windows and the card agree.
QString ResolveFamily(std::string_view name);
// A designed font: a negative height is the em height in pixels, a positive one the cell
// height (approximated by the em height).
QFont DesignFont(std::string_view name, int height);
// "MS Sans Serif", height -11: the font of every form.
QFont FormFont();

inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string FromQString(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace toolkit
