#include "wxdravik/wxdravikcolors.h"

wxsRenderer::wxsRenderer() : wxDelegateRendererNative(wxRendererNative::Get()) {}
