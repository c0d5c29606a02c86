#pragma once

#include <QString>

class QWidget;

namespace Plover {

// A modal warning with "Continue" (default) and "Cancel"; only "Continue" answers true,
// so Escape and the close button count as "Cancel".
bool askToContinue(QWidget* parent, const QString& title, const QString& text,
                   const QString& informativeText);

} // namespace Plover
