#include "app/print/PrintSession.h"

#include <QPrinter>

namespace velmora::print {

PrintSession::PrintSession() = default;
PrintSession::~PrintSession() = default;

QPrinter& PrintSession::Printer() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

} // namespace velmora::print
