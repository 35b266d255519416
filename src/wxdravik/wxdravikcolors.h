// The look and feel family: colour schemes, colour-managed windows, the theme
// renderer and the drawn controls. Each part has its own header; this one
// brings them all.
#pragma once

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxscolormanaged.h"
#include "wxdravik/wxsrenderer.h"
#include "wxdravik/wxsbutton.h"
#include "wxdravik/wxswrappers.h"
#include "wxdravik/wxstextctrl.h"
#include "wxdravik/wxschoice.h"
#include "wxdravik/wxschecklistbox.h"
