# The API reference of the installed headers (docs/Doxyfile), into
# build/docs/html: `cmake --build build --target docs`. Any Doxygen warning,
# an undocumented public declaration included, fails the target.
find_program(RETROGRADE_DOXYGEN doxygen)
if(RETROGRADE_DOXYGEN)
    add_custom_target(docs
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/docs
        COMMAND ${CMAKE_COMMAND} -E env RETROGRADE_DOCS_DIR=${PROJECT_BINARY_DIR}/docs
                ${RETROGRADE_DOXYGEN} ${PROJECT_SOURCE_DIR}/docs/Doxyfile
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "API reference into ${PROJECT_BINARY_DIR}/docs/html"
        VERBATIM)
endif()
