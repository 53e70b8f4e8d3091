# What the Windows cross build holds so far: the layers that need none of libcurl, libxml2,
# iconv, libnl or Qt, and their tests, which run under Wine (scripts/win32/wine-run.sh).
# No development service, fuzzers, benchmarks or Debian packaging; the installer where NSIS is.
find_package(Threads REQUIRED)
# vorta.exe's resources (manifest, version record, icon) go through windres.
enable_language(RC)

add_subdirectory(src/base)
add_subdirectory(src/protocol)
add_subdirectory(src/platform)
add_subdirectory(src/sysinfo)
add_subdirectory(src/club)
add_subdirectory(src/lines)
add_subdirectory(src/service)
add_subdirectory(src/core)
add_subdirectory(src/cli)
add_subdirectory(src/host)
add_subdirectory(src/ui/win32)
add_subdirectory(src/app)
add_subdirectory(packaging/win32)

if(VORTA_BUILD_TESTS)
  enable_testing()
  # Debian ships GoogleTest as sources only; build them with the cross compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
  # Each test program runs in the build tree's own Wine prefix; tests are listed when ctest runs,
  # so building needs no Wine.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/win32/wine-run.sh
                                    ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
  add_subdirectory(tests)
endif()
