# What a Qt program needs beside its .exe on Windows: the Qt DLLs, the compiler's runtime DLLs
# (Qt's DLLs link them even where our own programs link the runtime statically), the platform
# plugins and the styles. They are copied into the build's bin/ at configure time, so the
# programs and the tests run there under Wine, and installed into the package's top folder.
get_filename_component(QUILLSTONE_QT_ROOT "${Qt6_DIR}/../../.." ABSOLUTE)

set(QUILLSTONE_QT_DLLS Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll)
set(QUILLSTONE_COMPILER_RUNTIME_DLLS)
set(runtime_dlls)
if(MINGW)
  set(runtime_dlls libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
endif()
foreach(runtime ${runtime_dlls})
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                  OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${runtime_path}" OR NOT EXISTS "${runtime_path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${runtime} is")
  endif()
  list(APPEND QUILLSTONE_COMPILER_RUNTIME_DLLS ${runtime_path})
endforeach()

foreach(dll ${QUILLSTONE_QT_DLLS} Qt6Test.dll)
  configure_file(${QUILLSTONE_QT_ROOT}/bin/${dll} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll} COPYONLY)
endforeach()
foreach(runtime_path ${QUILLSTONE_COMPILER_RUNTIME_DLLS})
  get_filename_component(dll ${runtime_path} NAME)
  configure_file(${runtime_path} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll} COPYONLY)
endforeach()
# The offscreen plugin is for the tests only.
foreach(plugin platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll)
  configure_file(${QUILLSTONE_QT_ROOT}/plugins/${plugin} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${plugin}
                 COPYONLY)
endforeach()

list(TRANSFORM QUILLSTONE_QT_DLLS PREPEND ${QUILLSTONE_QT_ROOT}/bin/)
install(FILES ${QUILLSTONE_QT_DLLS} ${QUILLSTONE_COMPILER_RUNTIME_DLLS} DESTINATION .)
install(FILES ${QUILLSTONE_QT_ROOT}/plugins/platforms/qwindows.dll DESTINATION platforms)
install(FILES ${QUILLSTONE_QT_ROOT}/plugins/styles/qwindowsvistastyle.dll DESTINATION styles)
