#include "printing/encoders/page_encoder.h"

#ifndef _WIN32

#include <algorithm>
#include <vector>

namespace Plover::PrintSystem {

bool encodePage(const PageSource& page, const PageFormat& format, PageEncoder& encoder,
                const std::function<bool(int rowsDone)>& progress)
{
    // About 4 MiB a band: small next to any page, large enough that each call does real work.
    const std::size_t rowBytes = static_cast<std::size_t>(std::max(format.pixels.width(), 1)) * 3;
    const int bandRows = static_cast<int>(std::clamp<std::size_t>((4u << 20) / rowBytes, 1, 512));
    std::vector<std::uint8_t> band(rowBytes * static_cast<std::size_t>(bandRows));
    if (!encoder.beginPage(format))
        return false;
    const int height = format.pixels.height();
    for (int y = 0; y < height; y += bandRows) {
        const int count = std::min(bandRows, height - y);
        page.rows(y, count, band.data());
        if (!encoder.writeRows(band.data(), count) || !progress(y + count))
            return false;
    }
    return encoder.endPage();
}

} // namespace Plover::PrintSystem

#endif
