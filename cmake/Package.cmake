# The engine libraries made from kve_objects and everything `cmake --install` puts in
# place: kve.h, the static library, with BUILD_SHARED_LIBS the shared library too, the
# CMake package KorvaneEngine (target Korvane::kve) and the pkg-config file kve.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# A 0.x version promises nothing between minor versions: the soname carries both.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(KVE_SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
else()
  set(KVE_SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

# The built-in data (shaders, font, images) is compiled into every engine library.
function(kve_add_engine_library target type)
  set(objects $<TARGET_OBJECTS:kve_objects>)
  foreach(embedded ${KVE_EMBEDDED_LIBRARIES})
    list(APPEND objects $<TARGET_OBJECTS:${embedded}>)
  endforeach()
  add_library(${target} ${type} ${objects})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include>
                                              $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${target} PUBLIC Threads::Threads PRIVATE ${KVE_ENGINE_DEPENDENCIES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME kve LINKER_LANGUAGE CXX)
endfunction()

kve_add_engine_library(kve STATIC)
set(KVE_INSTALLED_LIBRARIES kve)
if(BUILD_SHARED_LIBS)
  # Only the public KVE_ names leave the shared library; the version script hides the rest
  # (the internal C++ code, whose symbols the test suites reach through the static one).
  set(KVE_VERSION_NODE KVE_${KVE_SOVERSION})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/kve.map.in ${CMAKE_BINARY_DIR}/kve.map @ONLY)
  kve_add_engine_library(kve_shared SHARED)
  target_link_options(kve_shared PRIVATE "LINKER:--version-script=${CMAKE_BINARY_DIR}/kve.map"
                      "LINKER:--no-undefined")
  set_target_properties(kve_shared PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${KVE_SOVERSION}
    LINK_DEPENDS ${CMAKE_BINARY_DIR}/kve.map
    EXPORT_NAME kve)
  # The static library stays available beside it as Korvane::kve_static.
  set_target_properties(kve PROPERTIES EXPORT_NAME kve_static)
  list(APPEND KVE_INSTALLED_LIBRARIES kve_shared)
endif()

set(KVE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KorvaneEngine)
install(FILES ${CMAKE_SOURCE_DIR}/include/kve.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS ${KVE_INSTALLED_LIBRARIES} EXPORT KorvaneEngineTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT KorvaneEngineTargets NAMESPACE Korvane:: DESTINATION ${KVE_PACKAGE_DIR})

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/KorvaneEngineConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/KorvaneEngineConfig.cmake INSTALL_DESTINATION ${KVE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KorvaneEngineConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KorvaneEngineConfig.cmake ${CMAKE_BINARY_DIR}/KorvaneEngineConfigVersion.cmake
              ${CMAKE_SOURCE_DIR}/cmake/EngineDependencies.cmake
        DESTINATION ${KVE_PACKAGE_DIR})

# pkg-config: the prefix is found from the file's own place, so the installed tree can move.
# kve.pc names -lkve, which the linker resolves to the shared library where one is
# installed (a program then needs an rpath or the loader's path to start) and to the static
# one otherwise, `--static` adding what that takes. kve-static.pc always names the static
# library, with the libraries it needs, so a program built through it starts anywhere.
file(RELATIVE_PATH KVE_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KVE_PC_TO_PREFIX "${KVE_PC_TO_PREFIX}")
string(REPLACE ";" " " KVE_PC_REQUIRES_PRIVATE "${KVE_ENGINE_PKG_CONFIG_MODULES}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/kve.pc.in ${CMAKE_BINARY_DIR}/kve.pc @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/kve-static.pc.in ${CMAKE_BINARY_DIR}/kve-static.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kve.pc ${CMAKE_BINARY_DIR}/kve-static.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
