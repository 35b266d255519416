// Xolib: the core runtime library.
#pragma once

#include "xolib/app.h"
#include "xolib/core.h"
#include "xolib/file.h"
#include "xolib/log.h"
#include "xolib/signal.h"
#include "xolib/string.h"
