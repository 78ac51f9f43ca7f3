# The shipped programs keep their debugging sections and their symbol table in a file beside
# them (<name>.debug, found by gdb through the program's debug link), not inside the image. With
# them inside, the executable is some 40 MB of which 2 MB is the program, and a loader that reads
# the image rather than paging it in (Wine's, for one) spends over 100 ms on every start reading
# DWARF.

find_program(TM_OBJCOPY ${TM_TRIPLE}-objcopy REQUIRED)

function(tm_split_debug_info target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${TM_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_BASE_NAME:${target}>.debug
    COMMAND ${TM_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE_BASE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
