# Run by `cmake --install`: writes the desktop entry for the prefix actually
# installed to (it may differ from the configured one), and, when that
# prefix lies in the user's home, also puts the entry and the icon where the
# desktop looks for the user's own programs.
cmake_path(ABSOLUTE_PATH PELMORA_PROGRAM_INSTALL_DIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
  NORMALIZE OUTPUT_VARIABLE PELMORA_INSTALLED_PROGRAM_DIR)
string(REGEX REPLACE "/$" "" PELMORA_INSTALLED_PROGRAM_DIR "${PELMORA_INSTALLED_PROGRAM_DIR}")
set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/pelmora.desktop")
configure_file("${PELMORA_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
message(STATUS "Installing: ${entry}")

set(home "$ENV{HOME}")
if(home AND NOT DEFINED ENV{DESTDIR})
  cmake_path(IS_PREFIX home "${CMAKE_INSTALL_PREFIX}" NORMALIZE in_home)
  if(in_home)
    set(data "$ENV{XDG_DATA_HOME}")
    if(NOT data)
      set(data "${home}/.local/share")
    endif()
    file(INSTALL "${entry}" DESTINATION "${data}/applications")
    file(INSTALL "${CMAKE_INSTALL_PREFIX}/share/icons/hicolor/128x128/apps/pelmora.png"
      DESTINATION "${data}/icons/hicolor/128x128/apps")
  endif()
endif()
