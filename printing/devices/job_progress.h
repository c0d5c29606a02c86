#pragma once

#ifndef _WIN32

#include <QString>
#include <functional>

class QWidget;

namespace Plover::PrintSystem {

// Told by a job step how far it has come; answers false once the user has cancelled.
using ProgressReport = std::function<bool(int done, int total)>;

// Runs one blocking step of a print job on a worker thread while a modal progress dialog, with
// `label` and a Cancel button, keeps the window painting and shows how far the step has come.
// Returns the step's answer; `cancelled` tells whether the user pressed Cancel. A step that runs out of
// memory fails, with the reason in `problem`.
bool runJobStep(QWidget* owner, const QString& label, const std::function<bool(const ProgressReport&)>& step,
                bool* cancelled = nullptr, QString* problem = nullptr);

} // namespace Plover::PrintSystem

#endif
