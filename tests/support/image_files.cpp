#include "image_files.h"
