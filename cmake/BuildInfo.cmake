# Run at every build (cmake -P): writes OUT, a header naming the commit the sources are at,
# only when that changed, so that nothing recompiles otherwise.
#   -DSOURCE_DIR=... -DOUT=... -DVERSION=...
find_package(Git QUIET)
set(commit unknown)
if(GIT_FOUND)
    # --match with no tag of that name: the abbreviated hash alone, "-dirty" when the
    # working tree has changes.
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty --abbrev=12
                            --match=no-tag-is-named-so
                    WORKING_DIRECTORY ${SOURCE_DIR}
                    OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed AND described)
        set(commit ${described})
    endif()
endif()
set(text "// Made by cmake/BuildInfo.cmake at every build.
#pragma once

namespace BuildInfo {

inline constexpr char kVersion[] = \"${VERSION}\";
inline constexpr char kCommit[] = \"${commit}\";

}  // namespace BuildInfo
")
if(EXISTS ${OUT})
    file(READ ${OUT} old)
endif()
if(NOT old STREQUAL text)
    file(WRITE ${OUT} "${text}")
endif()
