# System DLLs the programs bind when a function of theirs is first called, not at process start.
# A console command that never shows a window then never loads user32 and what comes with it
# (imm32, the display driver), and the window program loads wininet, comdlg32 and version only
# when a view first needs them.
#
# For each DLL below this makes an imported target tm_lazy_<name>: a delay-import library built
# by dlltool from the exports of the toolchain's own import library, followed by that import
# library itself. Link tm_lazy_<name> where a target would link <name>. The runtime's
# __delayLoadHelper2 (libmingwex) binds each function at its first call.
#
# Two limits of the delay thunks, kept out of the libraries:
# - Data exports cannot be reached through a thunk; they stay in the plain import library.
# - The 64-bit thunk saves only the integer argument registers around the binding. Functions
#   that take a floating-point value among their first four arguments are listed in
#   TM_BOUND_AT_START and also stay in the plain import library: using one binds its DLL at
#   start, as before.
# gdiplus (floating-point arguments throughout) and comctl32 (needed by the first window) are
# not delayed.
#
# 32-bit builds bind everything at start: tm_lazy_<name> is then the plain import library. With
# GNU ld for i386 a call through a dllimport declaration (every Windows header function) takes
# the import slot directly, and the linker drops the delay thunk that should fill it: the slot
# stays zero and the first call jumps to address 0 (binutils bug 14339, still so in 2.40).

set(TM_DELAY_LOADED user32 gdi32 shell32 shlwapi ole32 version wininet comdlg32)
set(TM_BOUND_AT_START SetMiterLimit)

find_program(TM_DLLTOOL ${TM_TRIPLE}-dlltool REQUIRED)
find_program(TM_NM ${TM_TRIPLE}-nm REQUIRED)

function(tm_make_delay_import name)
  find_library(TM_IMPLIB_${name} NAMES lib${name}.a REQUIRED)
  set(implib ${TM_IMPLIB_${name}})
  set(dir ${CMAKE_BINARY_DIR}/delay-imports)
  set(def ${dir}/${name}.def)
  set(lib ${dir}/lib${name}_delay.a)
  file(MAKE_DIRECTORY ${dir})

  if(NOT EXISTS ${lib} OR ${implib} IS_NEWER_THAN ${lib} OR ${CMAKE_CURRENT_LIST_FILE} IS_NEWER_THAN ${lib})
    execute_process(COMMAND ${TM_NM} -g --defined-only ${implib}
                    OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "cannot list ${implib}")
    endif()
    # A function export has a code thunk (T) beside its import slot; data exports have none.
    string(REGEX MATCHALL "[0-9a-fA-F]+ T [^\n]+" thunks "${symbols}")
    set(exports "")
    foreach(line IN LISTS thunks)
      string(REGEX REPLACE "^[0-9a-fA-F]+ T " "" symbol "${line}")
      if(symbol MATCHES "^\\." OR symbol IN_LIST TM_BOUND_AT_START)
        continue()
      endif()
      list(APPEND exports "${symbol}")
    endforeach()
    list(REMOVE_DUPLICATES exports)
    list(LENGTH exports count)
    if(count EQUAL 0)
      message(FATAL_ERROR "no function exports found in ${implib}")
    endif()
    list(JOIN exports "\n" body)
    file(WRITE ${def} "LIBRARY ${name}.dll\nEXPORTS\n${body}\n")
    execute_process(COMMAND ${TM_DLLTOOL} --input-def ${name}.def --dllname ${name}.dll
                            --output-delaylib lib${name}_delay.a
                    WORKING_DIRECTORY ${dir} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "dlltool could not make the delay-import library for ${name}")
    endif()
  endif()

  add_library(tm_lazy_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(tm_lazy_${name} PROPERTIES IMPORTED_LOCATION ${lib}
                                                   INTERFACE_LINK_LIBRARIES ${name})
endfunction()

foreach(name IN LISTS TM_DELAY_LOADED)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    tm_make_delay_import(${name})
  else()
    add_library(tm_lazy_${name} INTERFACE IMPORTED GLOBAL)
    set_target_properties(tm_lazy_${name} PROPERTIES INTERFACE_LINK_LIBRARIES ${name})
  endif()
endforeach()
