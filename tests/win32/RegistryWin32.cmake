# Registry backend tests on the real Windows registry (under Wine on Linux).
# Included from tests/CMakeLists.txt on Windows builds.
set(_pd_reg_sources win32/RegistryWin32Test.cpp)
set(_pd_reg_libs registry)
if(TARGET platform_win32)
  get_target_property(_pd_backend_sources platform_win32 SOURCES)
  list(FILTER _pd_backend_sources INCLUDE REGEX "(^|/)registry\\.cpp$")
  if(NOT _pd_backend_sources)
    list(APPEND _pd_reg_sources ${PROJECT_SOURCE_DIR}/platform/win32/registry.cpp)
  endif()
  list(APPEND _pd_reg_libs platform_win32)
else()
  # No backend library yet: the registry and the code-page conversion alone.
  list(APPEND _pd_reg_sources ${PROJECT_SOURCE_DIR}/platform/win32/registry.cpp win32/AnsiCodePageForTests.cpp)
endif()
pd_add_test_suite(registry_win32_tests LABEL wine SOURCES ${_pd_reg_sources} LIBS ${_pd_reg_libs} advapi32)
