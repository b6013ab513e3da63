# The configuration page filled with a few rows, saved as a PNG for looking at
# the layout: kesto_config_page_shot FILE (run under xvfb-run).
add_executable(kesto_config_page_shot ${CMAKE_SOURCE_DIR}/tests/pages/page_shot_main.cpp)
target_link_libraries(kesto_config_page_shot PRIVATE kesto)
