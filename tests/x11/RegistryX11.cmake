# Registry backend tests on Linux: the file-backed store and XDG autostart.
# Included from tests/CMakeLists.txt on non-Windows builds. Each test points
# XDG_CONFIG_HOME at a folder of its own; no display is needed.
set(_pd_reg_sources x11/RegistryX11Test.cpp)
set(_pd_reg_libs registry)
set(_pd_reg_backend ${PROJECT_SOURCE_DIR}/platform/x11/registry.cpp ${PROJECT_SOURCE_DIR}/platform/x11/autostart.cpp)
if(TARGET platform_x11)
  get_target_property(_pd_backend_sources platform_x11 SOURCES)
  list(FILTER _pd_backend_sources INCLUDE REGEX "(^|/)registry\\.cpp$")
  if(NOT _pd_backend_sources)
    list(APPEND _pd_reg_sources ${_pd_reg_backend})
  endif()
  list(APPEND _pd_reg_libs platform_x11)
else()
  # No backend library yet: the registry, and the Linux code page (Windows-1251,
  # as the simulation has it).
  list(APPEND _pd_reg_sources ${_pd_reg_backend} ${PROJECT_SOURCE_DIR}/platform/sim/text.cpp)
endif()
pd_add_test_suite(registry_x11_tests LABEL x11 SOURCES ${_pd_reg_sources} LIBS ${_pd_reg_libs})
