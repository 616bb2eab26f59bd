#include "app/toolkit/Style.h"

#include "platform/FontEngine.h"
#include "platform/GdiTypes.h"

#include <QFontDatabase>

namespace toolkit {

QColor ToQColor(graphics::TColor color) {
    const platform::COLORREF value = graphics::ToDeviceColor(color);
    return QColor(platform::GetRValue(value), platform::GetGValue(value),
                  platform::GetBValue(value));
}

graphics::TColor FromQColor(const QColor& color) {
    return graphics::TColor(
        platform::RGB(uint8_t(color.red()), uint8_t(color.green()), uint8_t(color.blue())));
}

QString ResolveFamily(std::string_view name) {
    platform::LOGFONT request;
    request.lfHeight = -11;
    request.lfFaceName = std::string(name);
    const std::string family = platform::text::RealizedFont::Get(request)->Metrics().familyName;
    if (!family.empty() && QFontDatabase::hasFamily(ToQString(family)))
        return ToQString(family);
    // The same preference as the platform's, should its answer be unknown to Qt.
    for (const char* fallback : {"Liberation Sans", "DejaVu Sans"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(fallback)))
            return QString::fromLatin1(fallback);
    }
    return ToQString(name);
}

QFont DesignFont(std::string_view name, int height) {
    QFont font(ResolveFamily(name));
    font.setPixelSize(height < 0 ? -height : (height > 0 ? height : 11));
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

QFont FormFont() {
    static const QFont font = DesignFont("MS Sans Serif", -11);
    return font;
}

} // namespace toolkit
