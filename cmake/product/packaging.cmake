# The udev rule giving the user at the seat access to the writers.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../../packaging/70-vren-kesto.rules DESTINATION lib/udev/rules.d)
