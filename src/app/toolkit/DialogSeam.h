// The seam through which a family of modal dialogs runs: the program shows Qt's dialogs, and a
// test installs a provider of its own for the lifetime of a guard, so the dialogs answer
// without a person. The common dialogs and the print dialogs each have one.
#pragma once

namespace toolkit {

// Provider is the family's abstract interface.
template <class Provider> class DialogSeam {
  public:
    // The provider in use: the installed one, else the Qt one (QtProvider), made on first use
    // and kept until the program ends.
    template <class QtProvider> static Provider& InUse() {
        if (installed_ != nullptr)
            return *installed_;
        static QtProvider qtDialogs;
        return qtDialogs;
    }

    // Installs a provider for the lifetime of the guard; guards nest, each restoring the one
    // before it.
    class Scoped {
      public:
        explicit Scoped(Provider& provider) : previous_(installed_) { installed_ = &provider; }
        ~Scoped() { installed_ = previous_; }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

      private:
        Provider* previous_;
    };

  private:
    static inline Provider* installed_ = nullptr;
};

} // namespace toolkit
