// The shared library's own translation unit: the exported functions live in SetAuto.cpp of
// the static library, which is linked in whole; the export map keeps only those five.
#include "tracking/include/qxmtrack.h"
