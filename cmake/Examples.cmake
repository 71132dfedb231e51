# The small examples in samples/<name>/: one source file each, built into build/samples/
# beside one shared Resources directory that the tools fill at build time, and the
# example's own definition files (samples/<name>/*.kvd) copied there. With the tests on,
# each example's <name>_e2e_test.cpp runs it headless (ctest kve_e2e_example_<name>).
set(KVE_EXAMPLES hello lit_scene pyramid particles_sound solar_system gltf_viewer)
set(KVE_EXAMPLES_DIR ${CMAKE_BINARY_DIR}/samples)
set(KVE_EXAMPLES_RESOURCES_DIR ${KVE_EXAMPLES_DIR}/Resources)

set(KVE_EXAMPLES_TOOL_DATA Plane.kvm Cube.kvm Ball.obj Rocks.obj Plane.kvb logo.png Ground.png GroundNormal.png
    Ball.png BallNormal.png Spark.png Steam.ogg Fuze.ogg Hit.ogg)
list(TRANSFORM KVE_EXAMPLES_TOOL_DATA PREPEND ${KVE_EXAMPLES_RESOURCES_DIR}/)
add_custom_command(
  OUTPUT ${KVE_EXAMPLES_TOOL_DATA}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KVE_EXAMPLES_RESOURCES_DIR}
  COMMAND kve_make_meshes ${KVE_EXAMPLES_RESOURCES_DIR}
  COMMAND kve_make_bodies ${KVE_EXAMPLES_RESOURCES_DIR}
  COMMAND kve_make_images engine ${KVE_EXAMPLES_RESOURCES_DIR}
  COMMAND kve_make_images demo ${KVE_EXAMPLES_RESOURCES_DIR}
  COMMAND kve_make_sounds ${KVE_EXAMPLES_RESOURCES_DIR}
  DEPENDS kve_make_meshes kve_make_bodies kve_make_images kve_make_sounds
  COMMENT "Making the examples' data"
  VERBATIM)

set(KVE_EXAMPLES_DATA ${KVE_EXAMPLES_TOOL_DATA})
foreach(example ${KVE_EXAMPLES})
  file(GLOB definitions CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/samples/${example}/*.kvd)
  foreach(definition ${definitions})
    get_filename_component(file ${definition} NAME)
    add_custom_command(OUTPUT ${KVE_EXAMPLES_RESOURCES_DIR}/${file}
      COMMAND ${CMAKE_COMMAND} -E copy ${definition} ${KVE_EXAMPLES_RESOURCES_DIR}/${file}
      DEPENDS ${definition} ${KVE_EXAMPLES_TOOL_DATA}
      VERBATIM)
    list(APPEND KVE_EXAMPLES_DATA ${KVE_EXAMPLES_RESOURCES_DIR}/${file})
  endforeach()
endforeach()
add_custom_target(kve_examples_data DEPENDS ${KVE_EXAMPLES_DATA})

foreach(example ${KVE_EXAMPLES})
  add_executable(kve_example_${example} ${CMAKE_SOURCE_DIR}/samples/${example}/${example}.cpp)
  target_link_libraries(kve_example_${example} PRIVATE kve)
  set_target_properties(kve_example_${example} PROPERTIES OUTPUT_NAME ${example}
                        RUNTIME_OUTPUT_DIRECTORY ${KVE_EXAMPLES_DIR})
  add_dependencies(kve_example_${example} kve_examples_data)
endforeach()
# The viewer's test opens the generated glTF files.
add_dependencies(kve_example_gltf_viewer kve_gltf_samples)

# Test suite of an example: its name in CamelCase plus "Example" (lit_scene: LitSceneExample).
function(kve_example_suite out example)
  string(REPLACE "_" ";" words ${example})
  set(suite "")
  foreach(word ${words})
    string(SUBSTRING ${word} 0 1 first)
    string(SUBSTRING ${word} 1 -1 rest)
    string(TOUPPER ${first} first)
    string(APPEND suite ${first}${rest})
  endforeach()
  set(${out} ${suite}Example PARENT_SCOPE)
endfunction()

if(KVE_BUILD_TESTS)
  find_package(GTest REQUIRED) # its imported targets are local to tests/
  set(tests)
  foreach(example ${KVE_EXAMPLES})
    list(APPEND tests ${CMAKE_SOURCE_DIR}/samples/${example}/${example}_e2e_test.cpp)
  endforeach()
  add_executable(kve_e2e_examples ${tests} ${CMAKE_SOURCE_DIR}/tests/e2e/process.cpp
                                  ${CMAKE_SOURCE_DIR}/samples/example_test.cpp)
  target_include_directories(kve_e2e_examples PRIVATE ${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_SOURCE_DIR}/samples)
  target_link_libraries(kve_e2e_examples PRIVATE kve_test_support GTest::gtest_main)
  foreach(example ${KVE_EXAMPLES})
    add_dependencies(kve_e2e_examples kve_example_${example})
    set(workdir ${CMAKE_BINARY_DIR}/testrun/kve_e2e_example_${example})
    file(MAKE_DIRECTORY ${workdir})
    kve_example_suite(suite ${example})
    add_test(NAME kve_e2e_example_${example} COMMAND kve_e2e_examples --gtest_filter=${suite}.*
             WORKING_DIRECTORY ${workdir})
    set_tests_properties(kve_e2e_example_${example} PROPERTIES LABELS e2e TIMEOUT 300
      ENVIRONMENT "ALSOFT_DRIVERS=null;KVE_EXAMPLES_DIR=${KVE_EXAMPLES_DIR}")
  endforeach()
endif()
