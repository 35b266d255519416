# GUI tests: every executable shares the harness (one application object,
# diagnostics turned into failures, bounded event-loop waits).
find_package(PkgConfig REQUIRED)
pkg_check_modules(DRAVIK_GLIB REQUIRED IMPORTED_TARGET glib-2.0)

add_library(dravik_gui_harness STATIC harness/gui_harness.cpp)
target_include_directories(dravik_gui_harness PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(dravik_gui_harness PUBLIC wxdravik GTest::gtest PkgConfig::DRAVIK_GLIB)

dravik_add_test(wxdravik_app_test
  SOURCES wxdravik_app_test.cpp wxdravik_timer_test.cpp
  LIBS dravik_gui_harness
  TIMEOUT 300)

# Colour schemes and colour-managed windows; the peer program answers the
# "COLORS" request in the two-process test.
add_executable(colors_peer colors_peer_main.cpp)
target_link_libraries(colors_peer PRIVATE wxdravik)
dravik_add_test(wxdravik_colors_test
  SOURCES wxdravik_colors_test.cpp
  LIBS dravik_gui_harness)
target_compile_definitions(wxdravik_colors_test PRIVATE COLORS_PEER_PATH="$<TARGET_FILE:colors_peer>")
add_dependencies(wxdravik_colors_test colors_peer)

# The theme renderer and the gradient fill, checked by pixels.
dravik_add_test(wxdravik_renderer_test
  SOURCES wxdravik_renderer_test.cpp
  LIBS dravik_gui_harness)

# Custom-drawn push buttons, check boxes and radio buttons.
dravik_add_test(wxdravik_buttons_test
  SOURCES wxdravik_buttons_test.cpp
  LIBS dravik_gui_harness)

# Small wrappers, the expandable panel, the date-time editor and the text
# control with its clear button and completion.
dravik_add_test(wxdravik_wrappers_test
  SOURCES wxdravik_wrappers_test.cpp
  LIBS dravik_gui_harness)

# Window placement, the open-windows menu and the desktop helpers.
dravik_add_test(wxdravik_desktop_test
  SOURCES wxdravik_desktop_test.cpp
  LIBS dravik_gui_harness)

# The frame base: main and secondary frames, tracked placement, colour changes.
dravik_add_test(wxdravik_frame_test
  SOURCES wxdravik_frame_test.cpp
  LIBS dravik_gui_harness)

# The dialog base, confirmations, the message box and the text prompt.
dravik_add_test(wxdravik_dialog_test
  SOURCES wxdravik_dialog_test.cpp
  LIBS dravik_gui_harness)

# The double-buffered window and the database list: redraws, scrolling,
# columns, rows, selection, the header, the cell editor, the row colours and
# the text drawn from the glyph cache.
dravik_add_test(wxdravik_list_test
  SOURCES wxdravik_list_test.cpp wxdravik_fasttext_test.cpp
  LIBS dravik_gui_harness)

# The bar history graph: level bar and frame by pixels, peak rule, limits,
# empty look and tooltip.
dravik_add_test(wxdravik_bargraph_test
  SOURCES wxdravik_bargraph_test.cpp
  LIBS dravik_gui_harness)

# The text line viewer and its search bar: storage, selection, keys, the
# clipboard, line colours by pixels, saving and the search walk.
dravik_add_test(wxdravik_textline_test
  SOURCES wxdravik_textline_test.cpp
  LIBS dravik_gui_harness)

# The tree list on the database list.
dravik_add_test(wxdravik_tree_test
  SOURCES wxdravik_tree_test.cpp
  LIBS dravik_gui_harness)

# The list box and list control interfaces on the database list.
dravik_add_test(wxdravik_adapters_test
  SOURCES wxdravik_adapters_test.cpp
  LIBS dravik_gui_harness)

# The notebook with saved layout: the perspective text, loading into other
# page counts, malformed texts, the stored layout and the art by pixels.
dravik_add_test(wxdravik_notebook_test
  SOURCES wxdravik_notebook_test.cpp
  LIBS dravik_gui_harness)

# The render-farm widgets: the job command menu, the filter words and the
# job and product choosers.
dravik_add_test(wxdravik_farmwidgets_test
  SOURCES wxdravik_farmwidgets_test.cpp
  LIBS dravik_gui_harness)

# Drop-downs and numeric entry: the choice and combo box, the check list box,
# the number selector and the slider.
dravik_add_test(wxdravik_dropdown_test
  SOURCES wxdravik_dropdown_test.cpp
  LIBS dravik_gui_harness)
