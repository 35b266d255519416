# Debian's wxWidgets ships no CMake package: wrap what FindwxWidgets gives in
# an imported target so that targets link it like any other library.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS aui core base)
if(NOT TARGET Dravik::wx)
  add_library(Dravik::wx INTERFACE IMPORTED GLOBAL)
  set(_dravik_wx_defs "")
  foreach(_def IN LISTS wxWidgets_DEFINITIONS)
    list(APPEND _dravik_wx_defs ${_def})
  endforeach()
  set(_dravik_wx_opts "")
  foreach(_flag IN LISTS wxWidgets_CXX_FLAGS)
    # FindwxWidgets hands over "-pthread" and friends as plain flags.
    list(APPEND _dravik_wx_opts ${_flag})
  endforeach()
  set_target_properties(Dravik::wx PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${wxWidgets_INCLUDE_DIRS}"
    INTERFACE_COMPILE_DEFINITIONS "${_dravik_wx_defs}"
    INTERFACE_COMPILE_OPTIONS "${_dravik_wx_opts}"
    INTERFACE_LINK_LIBRARIES "${wxWidgets_LIBRARIES}")
  # Debug builds of wx add __WXDEBUG__ themselves; nothing else to carry.
endif()
