# quillstone_warnings(<target>): the project's warning flags for one target (its C and C++
# sources; the Windows resource compiler takes none of them).
add_library(quillstone_warnings INTERFACE)
target_compile_options(quillstone_warnings INTERFACE
  $<$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<CXX_COMPILER_ID:GNU,Clang>>:-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor>
  $<$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<CXX_COMPILER_ID:GNU,Clang>,$<BOOL:${QUILLSTONE_WERROR}>>:-Werror>)

function(quillstone_warnings target)
  target_link_libraries(${target} PRIVATE quillstone_warnings)
endfunction()
