# kve_embed(<library> <namespace> <files>...)
# Builds an object library holding the given files as constants in kve::<namespace>
# (see tools/embed.cpp); its header is <namespace>.h in the generated directory.
add_executable(kve_embed ${CMAKE_SOURCE_DIR}/tools/embed.cpp)

function(kve_embed library space)
  set(header ${KVE_GENERATED_DIR}/embedded/${space}.h)
  set(source ${KVE_GENERATED_DIR}/embedded/${space}.cpp)
  file(MAKE_DIRECTORY ${KVE_GENERATED_DIR}/embedded)
  add_custom_command(
    OUTPUT ${header} ${source}
    COMMAND kve_embed ${header} ${source} ${space} ${ARGN}
    DEPENDS kve_embed ${ARGN}
    COMMENT "Embedding ${space}"
    VERBATIM)
  add_library(${library} OBJECT ${source})
  target_include_directories(${library} PUBLIC ${KVE_GENERATED_DIR}/embedded)
endfunction()
