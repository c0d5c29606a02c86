#pragma once

#include "imaging/target_image.h"
#include "layout/print_layout.h"
#include "printing/print_job.h"
#include "printing/win32_api.h"

#include <QImage>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace Plover {

// What the job writes into the printer's device mode: `fields` is OR-ed into dmFields, and only the
// members whose bits it carries are set (dmOrientation always).
struct DeviceModeSettings
{
    std::uint32_t fields = 0;
    std::int16_t orientation = 0;
    std::int16_t paperSize = 0;   // with DM_PAPERSIZE
    std::int16_t paperWidth = 0;  // with DM_PAPERWIDTH, tenths of a millimetre, portrait sense
    std::int16_t paperLength = 0; // with DM_PAPERLENGTH, likewise
};

DeviceModeSettings deviceModeSettings(const PrintLayout& layout);
// Writes the settings into a device mode, as the job does once the dialog has returned it.
void applyDeviceModeSettings(DEVMODEW& mode, const DeviceModeSettings& settings);

// The pixels handed to the device: the image turned as the layout asks, 32 bits per pixel with the bytes
// blue, green, red, alpha in memory, as a 32-bit BI_RGB DIB reads them.
QImage printPixels(const TargetImage& image, const PrintLayout& layout);

// The target of page `index` (from 0), decoded when its page is drawn; it throws to withdraw the document.
using TargetPages = std::function<TargetImage(int index)>;

// The GDI half of the print job: dialog, device mode, and one document of `pageCount` pages, each with one
// StretchDIBits of its own target at its own size. The dialog offers a page range only for more than one
// page; a single page is asked for exactly as one image always was. What the document went out on, or
// nothing when it was not printed; every handle is released before it returns, also when `pages` throws.
std::optional<PrintedDocument> printWithGdi(QWidget* parent, int pageCount, const TargetPages& pages,
                                            const PrintLayout& layout, const PrinterPreset& preset = {});
// One image on one page. True when the page was sent.
bool printWithGdi(QWidget* parent, const TargetImage& image, const PrintLayout& layout);

} // namespace Plover
