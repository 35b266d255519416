// Placeholder: the tests of this area are being written.
#include "harness/gui_harness.h"
