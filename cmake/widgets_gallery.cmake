# A window showing every kind of grid list cell, for looking at the widgets by
# eye and for screenshots: kesto_widgets_gallery [--screenshot FILE] [--open-choice]
add_executable(kesto_widgets_gallery ${CMAKE_SOURCE_DIR}/tests/widgets/gallery/gallery_main.cpp)
target_link_libraries(kesto_widgets_gallery PRIVATE kesto)
