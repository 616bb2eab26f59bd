// The narrow interface through which the main window's command handlers reach the card: the
// card bitmap and its canvas, the drawing state, the typed data and the station profile. The
// handlers of each feature (file, edit, tools, help) use only this, never the widgets.
#pragma once

#include "app/ClipboardSeam.h"
#include "app/StationProfile.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Tools.h"

#include <memory>
#include <string>

namespace velmora {

// A font as the card commands keep it: name, style, size in points, colour.
struct FontDescription {
    std::string name;
    graphics::TFontStyles style;
    int size = 0;
    graphics::TColor color = graphics::clBlack;
    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// The main window's drawing state, alive for the whole run.
struct CardState {
    graphics::TColor TextColor = graphics::clBlack;
    FontDescription CallIdFont;
    FontDescription SavedFont;
    std::unique_ptr<ClipboardObject> ClipboardObj;
};

// The texts typed into the main window, by what they mean on the card.
struct CardFields {
    std::string callSign;          // LabeledEdit1
    std::string operatorName;      // LabeledEdit2
    std::string date;              // LabeledEdit3
    std::string utc;               // LabeledEdit4
    std::string frequency;         // LabeledEdit5
    std::string rst;               // LabeledEdit6
    std::string mode;              // LabeledEdit7
    std::string thanks;            // LabeledEdit9
    std::string country;           // LabeledEdit10
    std::string qth;               // LabeledEdit11
    std::string contactedStation;  // LabeledEdit12
    std::string rig;               // LabeledEdit13
    std::string contactedOperator; // LabeledEdit14
    std::string city;              // LabeledEdit15
    std::string state;             // LabeledEdit16
    std::string antenna;           // LabeledEdit17
    std::string zip;               // LabeledEdit18
};

class CardSession {
  public:
    virtual ~CardSession() = default;
    // The bitmap the preview holds, and its canvas.
    virtual graphics::TBitmap& CardBitmap() = 0;
    virtual graphics::TCanvas& CardCanvas() = 0;
    virtual CardState& State() = 0;
    virtual CardFields Fields() const = 0;
    virtual const StationProfile& Profile() const = 0;
};

} // namespace velmora
