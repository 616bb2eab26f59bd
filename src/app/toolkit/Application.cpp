#include "app/toolkit/Application.h"

#include "app/toolkit/Form.h"
#include "app/toolkit/Style.h"
#include "graphics/Exceptions.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <algorithm>
#include <cassert>

namespace toolkit {

namespace {
TApplication* g_application = nullptr;
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

TApplication::TApplication() {
    assert(g_application == nullptr && QApplication::instance() != nullptr);
    g_application = this;
    // The program ends when its main form closes, not when its last window does (closing the
    // main form while the About window is open ends it all the same).
    QApplication::setQuitOnLastWindowClosed(false);
}

TApplication::~TApplication() {
    // Forms go first, newest first, while the application object still answers them.
    while (!forms_.empty())
        forms_.pop_back();
    g_application = nullptr;
}

TApplication& Application() {
    assert(g_application != nullptr);
    return *g_application;
}

bool HasApplication() {
    return g_application != nullptr;
}

std::string TApplication::ExeName() const {
    if (!exeName_.empty())
        return exeName_;
    return FromQString(QCoreApplication::applicationFilePath());
}

void TApplication::Adopt(std::unique_ptr<TForm> form) {
    TForm& created = *form;
    forms_.push_back(std::move(form));
    if (mainForm_ == nullptr)
        mainForm_ = &created;
    Guard([&created] { created.FormCreate(); });
}

int TApplication::Run() {
    if (mainForm_ == nullptr)
        return 0;
    mainForm_->Show();
    running_ = true;
    const int result = QApplication::exec();
    running_ = false;
    return result;
}

void TApplication::Terminate() {
    // Outside the loop there is nothing to end; a quit request left behind would end the next
    // modal dialog's loop instead.
    if (running_)
        QCoreApplication::quit();
}

void TApplication::FormActivated(TForm& form) {
    // Dialogs, message boxes and menus are windows but no forms: they leave the active form as
    // it was, so returning from them activates nothing.
    if (&form == activeForm_)
        return;
    activeForm_ = &form;
    Guard([&form] { form.FormActivate(); });
}

void TApplication::FormHidden(TForm& form) {
    // A secondary window that goes away hands the activation back to the main window, as the
    // window system does for an owned window.
    if (&form == activeForm_ && &form != mainForm_ && mainForm_ != nullptr &&
        mainForm_->isVisible())
        mainForm_->activateWindow();
}

void TApplication::FormDestroyed(TForm& form) {
    if (activeForm_ == &form)
        activeForm_ = nullptr;
    if (mainForm_ == &form)
        mainForm_ = nullptr;
}

void TApplication::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

void TApplication::HandleException(std::exception_ptr error) {
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const graphics::EAbort&) {
        return;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    ShowErrorBox(ErrorBox{title_, ErrorBoxText(message), ErrorBox::Icon::Error});
}

void TApplication::SetErrorBoxPresenter(ErrorBoxPresenter presenter) {
    presenter_ = std::move(presenter);
}

void TApplication::ShowErrorBox(const ErrorBox& box) {
    if (presenter_) {
        presenter_(box);
        return;
    }
    // Owned by no form: the application's box. Application-modal blocks every other window;
    // the window that was active gets the activation back afterwards.
    const QPointer<QWidget> previous = QApplication::activeWindow();
    QMessageBox messageBox(QMessageBox::Critical, ToQString(box.caption), ToQString(box.text),
                           QMessageBox::Ok);
    messageBox.setObjectName(QStringLiteral("ErrorBox"));
    messageBox.setWindowModality(Qt::ApplicationModal);
    messageBox.exec();
    if (previous != nullptr && previous->isVisible())
        previous->activateWindow();
}

} // namespace toolkit
