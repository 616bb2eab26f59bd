// The application object of the window toolkit: title, help file, the program's forms in
// creation order with the first one as the main form, the message loop, form activation, and
// the default exception handler that every event handler runs inside.
#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace toolkit {

class TForm;

// What the default handler shows: the application window owns the box.
struct ErrorBox {
    enum class Icon { Error };
    std::string caption;
    std::string text;
    Icon icon = Icon::Error;
};

// Shows an error box and returns when the user has dismissed it.
using ErrorBoxPresenter = std::function<void(const ErrorBox&)>;

// The box's text for an exception message: "." is appended when the message is not empty and
// its last byte sorts after '.' (0x2E), so "Disk full" gains a full stop and "Done." or "(x)"
// keep theirs.
std::string ErrorBoxText(const std::string& message);

class TApplication : public QObject {
  public:
    // Needs a running QApplication; there is one TApplication at a time.
    TApplication();
    ~TApplication() override;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    const std::string& HelpFile() const { return helpFile_; }
    void SetHelpFile(std::string path) { helpFile_ = std::move(path); }

    // The executable's full file name. Tests point it elsewhere so that files kept beside the
    // executable (the profile) live in a folder of their own.
    std::string ExeName() const;
    void SetExeNameForTesting(std::string path) { exeName_ = std::move(path); }

    // Creates a form and runs its FormCreate; the first form created becomes the main form.
    template <class Form, class... Args> Form& CreateForm(Args&&... args) {
        auto form = std::make_unique<Form>(std::forward<Args>(args)...);
        Form& result = *form;
        Adopt(std::move(form));
        return result;
    }
    TForm* MainForm() const { return mainForm_; }
    const std::vector<std::unique_ptr<TForm>>& Forms() const { return forms_; }

    // Shows the main form and runs the message loop until the main form closes.
    int Run();
    // Ends the message loop (closing the main form calls it).
    void Terminate();

    // The form that was activated last. Only forms count: a common dialog or a message box
    // leaves it as it was, so coming back from one is no activation.
    TForm* ActiveForm() const { return activeForm_; }

    // The default exception handler: EAbort is dropped silently; anything else is shown in the
    // error box with the application title as caption. Other windows are blocked meanwhile.
    void HandleException(std::exception_ptr error);
    // Runs an event handler inside the default exception handler.
    void Guard(const std::function<void()>& handler);

    // Test seam: replaces the modal box by a recorder. An empty presenter restores the box.
    void SetErrorBoxPresenter(ErrorBoxPresenter presenter);

  private:
    friend class TForm;
    void Adopt(std::unique_ptr<TForm> form);
    // The form became the active window (TForm::changeEvent).
    void FormActivated(TForm& form);
    void FormHidden(TForm& form);
    void FormDestroyed(TForm& form);
    void ShowErrorBox(const ErrorBox& box);

    std::string title_;
    std::string helpFile_;
    std::string exeName_;
    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* mainForm_ = nullptr;
    TForm* activeForm_ = nullptr;
    ErrorBoxPresenter presenter_;
    bool running_ = false;
};

// The application object of the running program.
TApplication& Application();
bool HasApplication();

} // namespace toolkit
