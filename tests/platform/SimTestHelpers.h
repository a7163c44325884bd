#pragma once
#include "tests/support/SimTestHelpers.h"  // IWYU pragma: export
