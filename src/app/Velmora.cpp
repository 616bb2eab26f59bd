#include "app/Velmora.h"

#include "app/Modules.h"
#include "app/clipboard/QtClipboardBridge.h"
#include "app/mnAbout.h"
#include "app/mnSetup.h"
#include "app/mnVelmora.h"
#include "app/toolkit/Application.h"
#include "app/toolkit/Style.h"
#include "platform/Clipboard.h"

#include <QApplication>
#include <filesystem>

namespace velmora {

void StartVelmora(toolkit::TApplication& app, const StartupObserver& observe) {
    auto step = [&observe](std::string_view name) {
        if (observe)
            observe(name);
    };
    InitializeModules();
    step("modules");
    QApplication::setFont(toolkit::FormFont());
    step("application");
    // The program starts in its data folder, where the help file ships.
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    app.SetHelpFile((folder / "VELMORA.HLP").string());
    step("help file");
    app.SetTitle("Velmora");
    step("title");
    TForm1& main = app.CreateForm<TForm1>();
    step("TForm1");
    app.CreateForm<TForm2>();
    step("TForm2");
    app.CreateForm<TForm3>(main.Session().Store());
    step("TForm3");
}

int VelmoraMain(int argc, char** argv) {
    QApplication qt(argc, argv);
    toolkit::TApplication app;
    // Pictures on the clipboard reach other programs through the desktop clipboard.
    const auto desktopClipboard = InstallDesktopClipboard();
    StartVelmora(app);
    return app.Run();
}

} // namespace velmora
