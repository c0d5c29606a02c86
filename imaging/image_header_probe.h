#pragma once

#include <QString>

class QIODevice;

namespace Plover {

// What a PNG or JPEG file states about itself ahead of its pixels, as far as the Qt reader
// takes it over: whether each resolution axis is really declared (Qt substitutes the screen's
// resolution for an undeclared one) and whether a JPEG frame has four components (CMYK or YCCK,
// which older Qt versions decode into RGB without saying so).
struct ImageHeaderFacts
{
    bool recognized = false; // the data starts as a PNG or a JPEG
    bool declaresDpiX = false;
    bool declaresDpiY = false;
    bool fourComponentFrame = false;
    // False when the file is too short to hold the pixels its PNG header or JPEG frame declares,
    // even at the best compression the format allows: a header that lies about the image size.
    bool dataMayHoldImage = true;
    // A PNG chunk ahead of the image data claims more bytes than the file has left, so no image
    // data can follow. libpng would read its way through the claimed length regardless, which for
    // a claim of gigabytes takes many seconds.
    bool headerRunsPastEnd = false;
};

// Reads a bounded number of bytes from the start of the data; lengths in the data are checked
// against the device size and never used to allocate. Unreadable or damaged data yields what was
// established before the damage.
ImageHeaderFacts probeImageHeader(QIODevice& device);
ImageHeaderFacts probeImageHeader(const QString& path);

} // namespace Plover
