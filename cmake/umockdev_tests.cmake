# Tests on umockdev's testbed: emulated udev devices, uevents and usbdevfs
# nodes for the real libudev and libusb libraries. Such a program must run
# under umockdev-wrapper, which preloads the library that redirects /sys and
# /dev into the testbed.
pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
find_program(UMOCKDEV_WRAPPER umockdev-wrapper REQUIRED)

# The testbed's folder holds unix sockets (at most 108 bytes a path), so it
# cannot be in the build tree: tests/usb/umockdev_writers.cpp, which every
# program here links, gives each run a short private folder under /tmp and
# removes it when the program ends, also when it dies.

# tests/<dir>/*_umockdev.cpp (with the folder's other .cpp files and the
# emulated writers as support) become the program `name`, labelled `label`.
function(kesto_umockdev_tests name dir label)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*.cpp)
  list(APPEND sources ${CMAKE_SOURCE_DIR}/tests/usb/umockdev_writers.cpp)
  list(REMOVE_DUPLICATES sources)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE kesto_test_main PkgConfig::UMOCKDEV)
  add_test(NAME ${name} COMMAND ${UMOCKDEV_WRAPPER} $<TARGET_FILE:${name}>)
  # The preloaded umockdev library comes before the sanitizer runtime.
  set_tests_properties(${name} PROPERTIES
    LABELS ${label}
    TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=verify_asan_link_order=0;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/usb/libusb0.supp")
endfunction()

kesto_umockdev_tests(udev_notifier_tests udev udev)
kesto_umockdev_tests(usb_backend_tests usb usb)

# The USB tests also start the program itself on the testbed's writers.
target_compile_definitions(usb_backend_tests PRIVATE
  KESTO_CONFIGURATOR_EXE="$<TARGET_FILE:VREN_Kesto_Configurator>"
  KESTO_CLI_EXE="$<TARGET_FILE:vren-kesto>")
add_dependencies(usb_backend_tests VREN_Kesto_Configurator vren-kesto)

# Emulated USB writers for any program, to run the configurator itself on them.
add_executable(kesto_usb_writers tests/usb/bench/usb_writers_main.cpp tests/usb/umockdev_writers.cpp)
target_include_directories(kesto_usb_writers PRIVATE ${CMAKE_SOURCE_DIR}/tests/usb)
target_link_libraries(kesto_usb_writers PRIVATE kesto_sim Qt6::Core PkgConfig::UMOCKDEV)

# The program's own start with a test's hand on its buttons, for end-to-end
# runs on emulated writers: kesto_driven_configurator --initialize.
add_executable(kesto_driven_configurator tests/usb/bench/driven_main.cpp)
target_link_libraries(kesto_driven_configurator PRIVATE kesto)

# Two writers initialized end to end through the real back end: the program
# under kesto_usb_writers, writer 2 through its full 30-second quiet phase.
add_test(NAME usb_program_initializes_two_writers
  COMMAND ${UMOCKDEV_WRAPPER} $<TARGET_FILE:kesto_usb_writers> --init-ms 500 2
          -- $<TARGET_FILE:kesto_driven_configurator> --initialize)
set_tests_properties(usb_program_initializes_two_writers PROPERTIES
  LABELS usb
  TIMEOUT 300
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=verify_asan_link_order=0;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/usb/libusb0.supp")
