# The one version of the project (project(VERSION ...)) as a header, <quillstone/Version.h>, for
# the programs' --version, the CLI's report and the Windows version resources.
configure_file(${CMAKE_CURRENT_LIST_DIR}/templates/Version.h.in
               ${PROJECT_BINARY_DIR}/generated/quillstone/Version.h @ONLY)
add_library(quillstone_version INTERFACE)
target_include_directories(quillstone_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
