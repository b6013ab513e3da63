# vren-kesto on emulated writers, which the command-line tests run as a
# process of its own.
add_executable(vren_kesto_emulated tests/cli/emulated_vren_kesto.cpp)
target_link_libraries(vren_kesto_emulated PRIVATE kesto_cli kesto_sim)

target_link_libraries(cli_tests PRIVATE kesto_cli)
target_compile_definitions(cli_tests PRIVATE
  KESTO_CLI_EMULATED_EXE="$<TARGET_FILE:vren_kesto_emulated>"
  KESTO_CLI_EXE="$<TARGET_FILE:vren-kesto>")
add_dependencies(cli_tests vren_kesto_emulated vren-kesto)

# The tool links no widget: what it loads is Qt Core and the USB libraries.
add_test(NAME cli_links_no_widgets
  COMMAND sh -c "! ldd \"$0\" | grep -E 'Qt6(Widgets|Gui)'" $<TARGET_FILE:vren-kesto>)
set_tests_properties(cli_links_no_widgets PROPERTIES LABELS cli)
