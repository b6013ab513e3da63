# The companion updater "AutoUpdator", and its copy inside the configurator:
# the configurator writes it into its folder when the user accepts an upgrade.

set(KESTO_UPDATE_BASE_URL "https://update.velmont.example" CACHE STRING
  "The maker's update server the program asks for update.xml (the settings file can name another)")

add_executable(AutoUpdator
  ${CMAKE_SOURCE_DIR}/updater/main.cpp
  ${CMAKE_SOURCE_DIR}/updater/FileSwap.cpp ${CMAKE_SOURCE_DIR}/updater/FileSwap.h
  ${CMAKE_SOURCE_DIR}/updater/UpdaterJob.cpp ${CMAKE_SOURCE_DIR}/updater/UpdaterJob.h
  ${CMAKE_SOURCE_DIR}/updater/UpdaterWindow.cpp ${CMAKE_SOURCE_DIR}/updater/UpdaterWindow.h
  # The description, its address and its fetch are the configurator's own code.
  ${CMAKE_SOURCE_DIR}/src/update/UpdateDescription.cpp ${CMAKE_SOURCE_DIR}/src/update/UpdateDescription.h
  ${CMAKE_SOURCE_DIR}/src/update/UpdateFetch.cpp ${CMAKE_SOURCE_DIR}/src/update/UpdateFetch.h)
target_include_directories(AutoUpdator PRIVATE ${CMAKE_SOURCE_DIR}/updater)
# kesto_core for the settings file reader (and the src/ include path).
target_link_libraries(AutoUpdator PRIVATE kesto_core Qt6::Widgets Qt6::Network)
target_compile_definitions(AutoUpdator PRIVATE KESTO_UPDATE_BASE_URL="${KESTO_UPDATE_BASE_URL}")
target_compile_definitions(kesto PRIVATE KESTO_UPDATE_BASE_URL="${KESTO_UPDATE_BASE_URL}")

# The built updater as resource ":/update/AutoUpdator". The resource file
# names the updater's output, so it is generated, and rcc runs after the
# updater is linked.
set(KESTO_UPDATER_QRC ${CMAKE_CURRENT_BINARY_DIR}/updater/AutoUpdator.qrc)
set(KESTO_UPDATER_RCC ${CMAKE_CURRENT_BINARY_DIR}/updater/qrc_AutoUpdator.cpp)
file(GENERATE OUTPUT ${KESTO_UPDATER_QRC} CONTENT
"<RCC>
  <qresource prefix=\"/update\">
    <file alias=\"AutoUpdator\">$<TARGET_FILE:AutoUpdator></file>
  </qresource>
</RCC>
")
add_custom_command(OUTPUT ${KESTO_UPDATER_RCC}
  COMMAND Qt6::rcc --name AutoUpdator --output ${KESTO_UPDATER_RCC} ${KESTO_UPDATER_QRC}
  DEPENDS AutoUpdator ${KESTO_UPDATER_QRC}
  COMMENT "Embedding the updater"
  VERBATIM)
set_source_files_properties(${KESTO_UPDATER_RCC} PROPERTIES GENERATED TRUE SKIP_AUTOGEN ON)
# An object library, not part of the static one: the linker would drop the
# resource's self-registration from a library member nobody calls into.
# Compiled once for the configurator and the tests.
add_library(kesto_updater_resource OBJECT ${KESTO_UPDATER_RCC})
target_link_libraries(kesto_updater_resource PRIVATE Qt6::Core)
target_link_libraries(VREN_Kesto_Configurator PRIVATE kesto_updater_resource)

