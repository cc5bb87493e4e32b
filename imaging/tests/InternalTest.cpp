#include "Kernels.h"
#include <gtest/gtest.h>
