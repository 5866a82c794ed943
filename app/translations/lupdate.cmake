# Runs lupdate over the viewer's sources into a translation file, with the options every run
# must share so that the file changes only when a text does (no line numbers, no texts that
# are gone).
#   cmake -DLUPDATE=<lupdate> -DSOURCES=<app/src> -DTS=<file.ts> [-DCHECK=ON] -P lupdate.cmake
# CHECK: update a copy instead and fail when it differs from TS (the file is out of date).
set(options -silent -locations none -no-obsolete -source-language zh_CN -target-language en)
if(CHECK)
    string(RANDOM LENGTH 8 tag)
    set(dir "${CMAKE_CURRENT_BINARY_DIR}/lupdate-check-${tag}")
    file(MAKE_DIRECTORY "${dir}")
    get_filename_component(name "${TS}" NAME)
    file(COPY "${TS}" DESTINATION "${dir}")
    set(target "${dir}/${name}")
else()
    set(target "${TS}")
endif()
execute_process(COMMAND "${LUPDATE}" ${options} "${SOURCES}" -ts "${target}"
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status}): ${errors}")
endif()
if(CHECK)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${TS}" "${target}"
                    RESULT_VARIABLE differs)
    if(differs)
        execute_process(COMMAND diff -u "${TS}" "${target}")
    endif()
    file(REMOVE_RECURSE "${dir}")
    if(differs)
        message(FATAL_ERROR "${TS} is out of date: run `ninja vell_lupdate`, translate the new "
                            "texts (Qt Linguist or by hand) and commit the file")
    endif()
endif()
