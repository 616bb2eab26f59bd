// What printing keeps for the session: the printer with its paper and orientation (from the
// print and page setup dialogs) and the card options.
#pragma once

#include "app/print/CardLayout.h"

#include <memory>

class QPrinter;

namespace velmora::print {

class PrintSession {
  public:
    PrintSession();
    ~PrintSession();
    PrintSession(const PrintSession&) = delete;
    PrintSession& operator=(const PrintSession&) = delete;

    // Made on first use, so that a program that never prints never asks for the printers.
    QPrinter& Printer();

    PrintOptions Options;

  private:
    std::unique_ptr<QPrinter> printer_;
};

} // namespace velmora::print
