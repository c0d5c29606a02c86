#pragma once

#include "imaging/target_image.h"
#include "imaging/target_set.h"
#include "layout/print_layout.h"

#include <QSize>
#include <QString>
#include <optional>

class QWidget;

namespace Plover {

// A printer and resolution for the print dialog to start from, instead of the system's defaults.
struct PrinterPreset
{
    QString printer;  // as the dialog's device names give it
    QSize resolution; // dots per inch in the device's own sense (its portrait page)
};

// What a document went out on, as the dialog and the device context told it.
struct PrintedDocument
{
    QString printer;
    QSize resolution; // in the device's own sense, whatever the orientation
    bool icmOff = false;
    int firstPage = 1; // the pages sent, counted from 1
    int lastPage = 1;
};

// Puts targets on printed pages at their embedded size, colour management off. Stateless.
class PrintJob
{
public:
    // One target on one page. True when a page was sent; throws PrintException when the target carries
    // no pixels.
    bool printTargetImage(QWidget* parent, const TargetImage& image, const PrintLayout& layout) const;
    // Every page of the set, or the range chosen in the dialog, in one document. Each page is read as it
    // is printed and let go before the next. Nothing when the dialog was cancelled or the print failed;
    // throws PrintException when the set is empty or a page cannot be read, which withdraws the document.
    std::optional<PrintedDocument> printTargetSet(QWidget* parent, const TargetSet& set,
                                                  const PrintLayout& layout,
                                                  const PrinterPreset& preset = {}) const;
};

} // namespace Plover
