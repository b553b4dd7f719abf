# The library as other programs use it: `cmake --install` puts the core
# (General, midi, music) and, as its own component, playback into the prefix,
# with their headers under include/retrograde, a CMake package
# (find_package(Retrograde) gives Retrograde::core and Retrograde::playback)
# and a pkg-config file. The layers inside the tree stay static libraries:
# the tests reach their detail/ helpers, which the installed libraries hide.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(retrograde_core_layers retrograde_general retrograde_event retrograde_tables
                           retrograde_music retrograde_track retrograde_song)

# A library of the objects of the given layers, static or shared as
# BUILD_SHARED_LIBS says; a shared one exports everything but detail/.
function(retrograde_package_library target output export_name)
    set(objects)
    foreach(layer ${ARGN})
        list(APPEND objects $<TARGET_OBJECTS:${layer}>)
    endforeach()
    add_library(${target} ${objects})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} EXPORT_NAME ${export_name}
                          VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    target_include_directories(${target}
        INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/retrograde>)
    target_compile_features(${target} INTERFACE cxx_std_20)
    if(BUILD_SHARED_LIBS)
        set(script ${PROJECT_SOURCE_DIR}/cmake/${output}.map)
        target_link_options(${target} PRIVATE -Wl,--version-script=${script})
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
    endif()
endfunction()

retrograde_package_library(retrograde_core retrograde core ${retrograde_core_layers})
install(TARGETS retrograde_core EXPORT RetrogradeCore COMPONENT core
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY General midi music DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/retrograde
        COMPONENT core FILES_MATCHING PATTERN "*.h" PATTERN "detail" EXCLUDE)
install(EXPORT RetrogradeCore NAMESPACE Retrograde:: FILE RetrogradeCoreTargets.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Retrograde COMPONENT core)

set(retrograde_pc_requires "")
if(TARGET retrograde_playback)
    find_package(Threads REQUIRED)
    retrograde_package_library(retrograde_playback_package retrograde-playback playback
                               retrograde_playback)
    target_link_libraries(retrograde_playback_package
        PUBLIC retrograde_core Threads::Threads PkgConfig::RTMIDI PkgConfig::FLUIDSYNTH
        PRIVATE PkgConfig::JACK PkgConfig::ALSA)
    install(TARGETS retrograde_playback_package EXPORT RetrogradePlayback COMPONENT playback
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
    # The player's shared state is read by inline members of its public header.
    install(FILES playback/detail/PlaybackState.h
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/retrograde/playback/detail COMPONENT playback)
    install(DIRECTORY playback DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/retrograde
            COMPONENT playback FILES_MATCHING PATTERN "*.h" PATTERN "detail" EXCLUDE)
    install(EXPORT RetrogradePlayback NAMESPACE Retrograde:: FILE RetrogradePlaybackTargets.cmake
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Retrograde COMPONENT playback)
endif()

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/RetrogradeConfig.cmake.in
    ${PROJECT_BINARY_DIR}/RetrogradeConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Retrograde)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RetrogradeConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/RetrogradeConfig.cmake
              ${PROJECT_BINARY_DIR}/RetrogradeConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Retrograde COMPONENT core)
configure_file(${PROJECT_SOURCE_DIR}/cmake/retrograde.pc.in ${PROJECT_BINARY_DIR}/retrograde.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/retrograde.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT core)
