# One place for the warning flags of every target.
function(retrograde_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(RETROGRADE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A static library made of every source file of one folder: adding a file to a
# layer needs no edit here.
function(retrograde_layer target alias dir)
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/detail/*.cpp)
    add_library(${target} STATIC ${sources})
    add_library(${alias} ALIAS ${target})
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
    target_compile_features(${target} PUBLIC cxx_std_20)
    retrograde_warnings(${target})
endfunction()
