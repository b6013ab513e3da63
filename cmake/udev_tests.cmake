# The udev notifier against real uevents: umockdev's testbed feeds a libudev
# monitor in the same process, which must run under umockdev-wrapper.
pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
find_program(UMOCKDEV_WRAPPER umockdev-wrapper REQUIRED)

file(GLOB udev_umockdev_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/udev/*_umockdev.cpp)
add_executable(udev_notifier_tests ${udev_umockdev_sources})
target_link_libraries(udev_notifier_tests PRIVATE kesto_test_main PkgConfig::UMOCKDEV)

# Aborted tests leave testbed folders behind: keep them in the build tree.
set(UDEV_TEST_TMPDIR ${CMAKE_BINARY_DIR}/umockdev-tmp)
file(MAKE_DIRECTORY ${UDEV_TEST_TMPDIR})
add_test(NAME udev_notifier_tests COMMAND ${UMOCKDEV_WRAPPER} $<TARGET_FILE:udev_notifier_tests>)
# The preloaded umockdev library comes before the sanitizer runtime.
set_tests_properties(udev_notifier_tests PROPERTIES
  LABELS udev
  TIMEOUT 120
  ENVIRONMENT "TMPDIR=${UDEV_TEST_TMPDIR};QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=verify_asan_link_order=0")
