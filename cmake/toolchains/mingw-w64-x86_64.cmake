# Cross build for 64-bit Windows with Debian's mingw-w64 compilers. The posix threads variant
# is the one whose libstdc++ has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLSTONE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLSTONE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLSTONE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLSTONE_MINGW_TRIPLE}-windres)

# A Qt kit for mingw-w64, when there is one: the folder named by QUILLSTONE_QT_MINGW, else the
# kit unpacked by scripts/test-windows.sh under build/. Without one the GUI is not built.
if(DEFINED ENV{QUILLSTONE_QT_MINGW} AND NOT "$ENV{QUILLSTONE_QT_MINGW}" STREQUAL "")
  set(QUILLSTONE_QT_KIT "$ENV{QUILLSTONE_QT_MINGW}")
else()
  get_filename_component(QUILLSTONE_QT_KIT "${CMAKE_CURRENT_LIST_DIR}/../../build/qt6-mingw"
                         ABSOLUTE)
endif()
if(NOT EXISTS "${QUILLSTONE_QT_KIT}/lib/cmake/Qt6/Qt6Config.cmake")
  set(QUILLSTONE_QT_KIT "")
endif()

# Appended, not set: a root path set to the compiler's folder alone would re-root the kit's
# packages out of reach. The kit's moc, rcc and uic are the host's own Qt tools.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLSTONE_MINGW_TRIPLE})
if(QUILLSTONE_QT_KIT)
  list(APPEND CMAKE_FIND_ROOT_PATH "${QUILLSTONE_QT_KIT}")
  list(APPEND CMAKE_PREFIX_PATH "${QUILLSTONE_QT_KIT}")
  set(QT_HOST_PATH /usr)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime (libgcc, libstdc++, winpthread) goes into every program and into
# capstan.dll, so they run on a bare Windows or Wine without the compiler's DLLs beside them.
# (Qt's own DLLs still need the runtime DLLs; the build copies them beside the programs.)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# ctest and test discovery run the programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../wine-run.sh)
