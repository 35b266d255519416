// The theme renderer and the gradient fill of the drawn controls.
#pragma once

#include <wx/dc.h>
#include <wx/renderer.h>
#include <wx/window.h>

#include "wxdravik/wxdravikdefs.h"

/// The toolkit's renderer with flat, scheme-coloured check boxes, radio marks,
/// choices, drop buttons, focus rectangles and splitter sashes; everything
/// else goes to the platform's renderer.
class WXDRAVIK_API wxsRenderer : public wxDelegateRendererNative
{
public:
    wxsRenderer();

    void DrawSplitterBorder(wxWindow* win, wxDC& dc, const wxRect& rect, int flags = 0) override;
    void DrawSplitterSash(wxWindow* win, wxDC& dc, const wxSize& size, wxCoord position,
                          wxOrientation orient, int flags = 0) override;
    void DrawComboBoxDropButton(wxWindow* win, wxDC& dc, const wxRect& rect, int flags = 0) override;
    void DrawDropArrow(wxWindow* win, wxDC& dc, const wxRect& rect, int flags = 0) override;
    void DrawCheckBox(wxWindow* win, wxDC& dc, const wxRect& rect, int flags = 0) override;
    void DrawFocusRect(wxWindow* win, wxDC& dc, const wxRect& rect, int flags = 0) override;
    void DrawChoice(wxWindow* win, wxDC& dc, const wxRect& rect, int flags = 0) override;
    void DrawRadioBitmap(wxWindow* win, wxDC& dc, const wxRect& rect, int flags = 0) override;
    wxSplitterRenderParams GetSplitterParams(const wxWindow* win) override;
    wxRendererVersion GetVersion() const override;
};

/// Fills rect with bands from outer (edges) to inner (middle); exponent shapes
/// the curve. Leaves the DC's pen and brush as it found them.
WXDRAVIK_API void DrawGradedRectangle(wxDC& dc, const wxRect& rect, const wxColour& inner,
                                      const wxColour& outer, float exponent, bool shrinkBottom,
                                      bool shrinkTop);
