# The libraries the engine links privately, named once: this build finds them here, the
# installed CMake package includes this file to find them again for the static library,
# and the pkg-config file lists the same modules (KVE_ENGINE_PKG_CONFIG_MODULES).

# pkg-config modules by the prefix of their imported target PkgConfig::<prefix>.
set(KVE_ENGINE_PKG_PREFIXES SDL2 OPENAL VORBIS PCRE2)
set(KVE_ENGINE_PKG_SDL2 sdl2)
set(KVE_ENGINE_PKG_OPENAL openal)
set(KVE_ENGINE_PKG_VORBIS vorbisfile vorbisenc vorbis ogg)
set(KVE_ENGINE_PKG_PCRE2 libpcre2-8)

# CMake's own find modules, with the pkg-config module of each.
set(KVE_ENGINE_FIND_PACKAGES PNG JPEG ZLIB)
set(KVE_ENGINE_PKG_CONFIG_MODULES sdl2 openal vorbisfile vorbisenc vorbis ogg libpcre2-8 libpng libjpeg zlib)

# The imported targets the engine library links privately.
set(KVE_ENGINE_DEPENDENCIES PkgConfig::SDL2 PkgConfig::OPENAL PkgConfig::VORBIS PkgConfig::PCRE2 PNG::PNG JPEG::JPEG
    ZLIB::ZLIB)

# Defines the targets above plus Threads::Threads. With REQUIRED a missing one stops the
# configuration; otherwise KVE_ENGINE_DEPENDENCIES_MISSING names the missing ones.
macro(kve_find_engine_dependencies)
  set(_kve_required ${ARGN})
  set(KVE_ENGINE_DEPENDENCIES_MISSING "")
  find_package(PkgConfig ${_kve_required} QUIET)
  find_package(Threads ${_kve_required} QUIET)
  foreach(_kve_package ${KVE_ENGINE_FIND_PACKAGES})
    find_package(${_kve_package} ${_kve_required} QUIET)
  endforeach()
  foreach(_kve_prefix ${KVE_ENGINE_PKG_PREFIXES})
    if(NOT TARGET PkgConfig::${_kve_prefix} AND PKG_CONFIG_FOUND)
      pkg_check_modules(${_kve_prefix} ${_kve_required} QUIET IMPORTED_TARGET ${KVE_ENGINE_PKG_${_kve_prefix}})
    endif()
  endforeach()
  foreach(_kve_target ${KVE_ENGINE_DEPENDENCIES} Threads::Threads)
    if(NOT TARGET ${_kve_target})
      list(APPEND KVE_ENGINE_DEPENDENCIES_MISSING ${_kve_target})
    endif()
  endforeach()
endmacro()

# Header-only libraries compiled into the engine: the glTF parser (tinygltf, its
# implementation built in the importer's unit without its image codecs) and the JSON
# library it parses with. Needed to build the engine, never by what links it, so the
# installed package does not look for them.
macro(kve_find_engine_build_headers)
  find_path(KVE_TINYGLTF_INCLUDE_DIR tiny_gltf.h REQUIRED)
  find_package(nlohmann_json 3 REQUIRED)
  set(KVE_ENGINE_BUILD_HEADERS nlohmann_json::nlohmann_json)
endmacro()
