# The engine's built-in binary data, made at build time by tools/ and embedded as
# constants kve::data::k<Name> (header data.h): the logo, the three default textures, the
# six sky cube faces and the default font.
set(KVE_ENGINE_DATA_DIR ${KVE_GENERATED_DIR}/data)
file(MAKE_DIRECTORY ${KVE_ENGINE_DATA_DIR})

set(KVE_ENGINE_IMAGES logo.png color_checker.png color_checker_normal.png grey_checker.png
    sky_px.jpg sky_nx.jpg sky_py.jpg sky_ny.jpg sky_pz.jpg sky_nz.jpg)
list(TRANSFORM KVE_ENGINE_IMAGES PREPEND ${KVE_ENGINE_DATA_DIR}/)
add_custom_command(
  OUTPUT ${KVE_ENGINE_IMAGES}
  COMMAND kve_make_images engine ${KVE_ENGINE_DATA_DIR}
  DEPENDS kve_make_images
  COMMENT "Painting the engine's images"
  VERBATIM)

# Fonts the baker tries in order: Liberation Sans, then DejaVu Sans.
set(KVE_FONT_SOURCES
  /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)

set(KVE_DEFAULT_FONT ${KVE_ENGINE_DATA_DIR}/default_font.tf)
add_custom_command(
  OUTPUT ${KVE_DEFAULT_FONT}
  COMMAND kve_bake_font ${KVE_DEFAULT_FONT} 16 ${KVE_FONT_SOURCES}
  DEPENDS kve_bake_font
  COMMENT "Baking the engine's default font"
  VERBATIM)

kve_embed(kve_embedded_data data ${KVE_ENGINE_IMAGES} ${KVE_DEFAULT_FONT})
