# Delay-import libraries for system DLLs that only some runs need.
#
# Every installer process (the front end, both back ends, the crash reporter)
# loads the same library, and most of them never show a window. A DLL imported
# the usual way is loaded and initialised at every process start: the common
# controls set up theming and the desktop connection, the security-package DLL
# loads its packages. Imported through a delay-import library, such a DLL is
# loaded on the first call into it instead; a run that never calls it never
# pays for it.
#
# velto_delay_import(<dll>) makes the imported target delay_<dll>, built at
# configure time from the toolchain's own import library: the names it exports
# become a module-definition file, which dlltool turns into a delay-import
# library. The loader helper it calls (__delayLoadHelper2) is in mingw-w64's
# runtime, which every target links already.
#
# Only for DLLs present on every supported Windows: a delay-loaded DLL that
# cannot be loaded ends the process at the first call.

function(velto_delay_import dll)
  find_library(VELTO_IMPORT_LIB_${dll} NAMES lib${dll}.a REQUIRED NO_CACHE)
  set(lib ${VELTO_IMPORT_LIB_${dll}})
  set(folder ${CMAKE_BINARY_DIR}/delay_import)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${CMAKE_NM} ${lib} OUTPUT_VARIABLE symbols
                  RESULT_VARIABLE nm_result ERROR_QUIET)
  if(NOT nm_result EQUAL 0)
    message(FATAL_ERROR "${CMAKE_NM} could not read ${lib}")
  endif()
  # Each function of an import library has an "I __imp_<name>" symbol.
  string(REGEX MATCHALL "[ \t]I __imp_[A-Za-z0-9_@?$]+" entries "${symbols}")
  set(exports "")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^[ \t]I __imp_" "" name "${entry}")
    list(APPEND exports "${name}")
  endforeach()
  list(REMOVE_DUPLICATES exports)
  list(SORT exports)
  if(NOT exports)
    message(FATAL_ERROR "${lib} names no function to import")
  endif()
  list(JOIN exports "\n  " export_lines)
  set(definition ${folder}/${dll}.def)
  file(WRITE ${definition} "LIBRARY ${dll}.dll\nEXPORTS\n  ${export_lines}\n")
  set(output ${folder}/libdelay_${dll}.a)
  execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${definition} --output-delaylib ${output}
                  RESULT_VARIABLE dlltool_result)
  if(NOT dlltool_result EQUAL 0 OR NOT EXISTS ${output})
    message(FATAL_ERROR "${CMAKE_DLLTOOL} could not make a delay-import library for ${dll}")
  endif()
  add_library(delay_${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(delay_${dll} PROPERTIES IMPORTED_LOCATION ${output})
endfunction()
