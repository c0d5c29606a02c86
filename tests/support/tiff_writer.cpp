#include "tiff_writer.h"
