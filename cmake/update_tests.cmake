# The update tests run the built updater end to end, read the copy of it
# inside the program, and test the updater's file swap in process.
if(TARGET update_tests)
  target_sources(update_tests PRIVATE ${CMAKE_SOURCE_DIR}/updater/FileSwap.cpp ${CMAKE_SOURCE_DIR}/updater/FileSwap.h)
  target_include_directories(update_tests PRIVATE ${CMAKE_SOURCE_DIR}/updater)
  target_link_libraries(update_tests PRIVATE kesto_updater_resource)
  target_compile_definitions(update_tests PRIVATE KESTO_UPDATER_PATH="$<TARGET_FILE:AutoUpdator>")
  add_dependencies(update_tests AutoUpdator)
endif()

# The About box and the updater's window as PNGs, for looking at them:
#   kesto_update_shots --about FILE --updater FILE   (under xvfb-run -a)
add_executable(kesto_update_shots
  ${CMAKE_SOURCE_DIR}/tests/update/update_shots_main.cpp
  ${CMAKE_SOURCE_DIR}/updater/UpdaterWindow.cpp ${CMAKE_SOURCE_DIR}/updater/UpdaterWindow.h)
target_include_directories(kesto_update_shots PRIVATE ${CMAKE_SOURCE_DIR}/updater)
target_link_libraries(kesto_update_shots PRIVATE kesto)
