// Main and context menus. Items carry their designed caption (with "&" before the mnemonic
// letter), shortcut, hint and click handler; every handler runs inside the application's
// default exception handler.
#pragma once

#include <QKeySequence>
#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace toolkit {

// A shortcut as the design stores it: modifier bits plus the virtual key code (the same as the
// ASCII code for letters and digits), so 16451 = scCtrl + 'C' is Ctrl+C.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

constexpr TShortCut ShortCut(char key, TShortCut modifiers) {
    return TShortCut(modifiers | TShortCut(key));
}
QKeySequence ToKeySequence(TShortCut shortCut);
// The designed shortcut of an item (scNone when it has none).
TShortCut ShortCutOf(const QAction& item);
std::string CaptionOf(const QAction& item);
std::string HintOf(const QAction& item);

QMenuBar* NewMainMenu(QWidget* form, const std::string& name);
QMenu* AddMenu(QMenuBar* bar, const std::string& name, const std::string& caption);
QMenu* NewPopupMenu(QWidget* owner, const std::string& name);

struct MenuItemDesign {
    std::string name;
    std::string caption;
    TShortCut shortCut = scNone;
    std::string hint;
};

// handler may be empty: the item exists and does nothing.
QAction* AddItem(QMenu* menu, const MenuItemDesign& design, std::function<void()> handler);
// A popup menu's items only show their shortcut: the same keys are taken by the main menu, and
// a key held by two items of one window would run neither.
QAction* AddPopupItem(QMenu* menu, const MenuItemDesign& design, std::function<void()> handler);
QAction* AddSeparator(QMenu* menu, const std::string& name);

} // namespace toolkit
