#pragma once

#include <exception>

class QWidget;

// The application's report of an error that no command caught: a message box with the
// error's text; the program goes on.
void ReportError(QWidget *owner, const std::exception &error);

// Runs a command handler so that nothing it raises can cross into Qt's event dispatch.
template<class F> void Guarded(QWidget *owner, F &&handler) noexcept
{
    try {
        handler();
    } catch (const std::exception &e) {
        ReportError(owner, e);
    } catch (...) {
        ReportError(owner, std::exception());
    }
}
