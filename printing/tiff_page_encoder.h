#pragma once

#ifndef _WIN32

#include <QString>

namespace Plover::PrintSystem {

class PageRaster;
struct PageJob;

// Writes the page as the file printer's paper: one 8-bit RGB TIFF with the device resolution in its
// tags and the device context's ICM mode in its description ("ICM: off" or "ICM: on").
bool writeTiffPage(const QString& path, const PageRaster& page, const PageJob& job);

} // namespace Plover::PrintSystem

#endif
