#include "app/toolkit/Menus.h"

#include "app/toolkit/Application.h"
#include "app/toolkit/Style.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QVariant>

namespace toolkit {

namespace {
constexpr char kShortCut[] = "ShortCut";
// Menu hints are kept, not shown: the design shows them nowhere (the status bars stay empty).
constexpr char kHint[] = "Hint";

QAction* NewItem(QMenu* menu, const MenuItemDesign& design, std::function<void()> handler) {
    auto* item = new QAction(ToQString(design.caption), menu);
    item->setObjectName(ToQString(design.name));
    item->setProperty(kShortCut, design.shortCut);
    item->setProperty(kHint, ToQString(design.hint));
    if (handler) {
        QObject::connect(item, &QAction::triggered, item,
                         [handler = std::move(handler)] { Application().Guard(handler); });
    }
    menu->addAction(item);
    return item;
}
} // namespace

QKeySequence ToKeySequence(TShortCut shortCut) {
    if (shortCut == scNone)
        return {};
    int key = shortCut & 0x00FF; // virtual key codes of letters and digits equal Qt's keys
    if (shortCut & scShift)
        key |= Qt::SHIFT;
    if (shortCut & scCtrl)
        key |= Qt::CTRL;
    if (shortCut & scAlt)
        key |= Qt::ALT;
    return QKeySequence(key);
}

TShortCut ShortCutOf(const QAction& item) {
    const QVariant value = item.property(kShortCut);
    return value.isValid() ? TShortCut(value.toUInt()) : scNone;
}

std::string CaptionOf(const QAction& item) {
    // A popup item shows its shortcut after a tab; the caption is what comes before it.
    return FromQString(item.text().section(QLatin1Char('\t'), 0, 0));
}
std::string HintOf(const QAction& item) {
    return FromQString(item.property(kHint).toString());
}

QMenuBar* NewMainMenu(QWidget* form, const std::string& name) {
    auto* bar = new QMenuBar(form);
    bar->setObjectName(ToQString(name));
    bar->setNativeMenuBar(false);
    return bar;
}

QMenu* AddMenu(QMenuBar* bar, const std::string& name, const std::string& caption) {
    auto* menu = new QMenu(ToQString(caption), bar);
    menu->setObjectName(ToQString(name));
    menu->menuAction()->setObjectName(ToQString(name + ".Item"));
    bar->addMenu(menu);
    return menu;
}

QMenu* NewPopupMenu(QWidget* owner, const std::string& name) {
    auto* menu = new QMenu(owner);
    menu->setObjectName(ToQString(name));
    return menu;
}

QAction* AddItem(QMenu* menu, const MenuItemDesign& design, std::function<void()> handler) {
    QAction* item = NewItem(menu, design, std::move(handler));
    item->setShortcut(ToKeySequence(design.shortCut));
    return item;
}

QAction* AddPopupItem(QMenu* menu, const MenuItemDesign& design, std::function<void()> handler) {
    QAction* item = NewItem(menu, design, std::move(handler));
    // Shown beside the caption as the menu does for a shortcut, but no key is taken.
    if (design.shortCut != scNone)
        item->setText(item->text() + QLatin1Char('\t') +
                      ToKeySequence(design.shortCut).toString(QKeySequence::NativeText));
    return item;
}

QAction* AddSeparator(QMenu* menu, const std::string& name) {
    QAction* separator = menu->addSeparator();
    separator->setObjectName(ToQString(name));
    return separator;
}

} // namespace toolkit
