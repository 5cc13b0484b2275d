# Installs the build into a folder of its own and checks that the user guide
# lies where the installed program looks for it: share/calvorin beside bin/.
# Usage: cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "the install failed")
endif()
foreach(installed "bin/calvorin" "share/calvorin/Calvorin User Guide.pdf")
  if(NOT EXISTS "${PREFIX}/${installed}")
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()
file(READ "${PREFIX}/share/calvorin/Calvorin User Guide.pdf" head LIMIT 16)
if(NOT head MATCHES "^%PDF-")
  message(FATAL_ERROR "the installed guide is not a PDF")
endif()
file(REMOVE_RECURSE "${PREFIX}")
