# Shared helpers for the project's targets.

# Warnings for our own code (not for generated moc/rcc sources).
function(dorvel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  if(DORVEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# One static library per source folder; NAME is the folder's name.
function(dorvel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(dorvel_${name} STATIC ${ARG_SOURCES})
  target_include_directories(dorvel_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(dorvel_${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  dorvel_warnings(dorvel_${name})
endfunction()

# A generated resource for "redizo.dll": ID is the integer resource ID (type 10),
# FILE the generated file, DEPENDS the target or files that produce it.
function(dorvel_resource id file)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY DORVEL_RESOURCE_ARGS "${id}=${file}")
  set_property(GLOBAL APPEND PROPERTY DORVEL_RESOURCE_FILES "${file}")
  set_property(GLOBAL APPEND PROPERTY DORVEL_RESOURCE_DEPENDS ${ARG_DEPENDS})
endfunction()

# Packs every registered resource into bin/redizo.dll with the packer of tools/respack.
function(dorvel_pack_resource_library)
  get_property(args GLOBAL PROPERTY DORVEL_RESOURCE_ARGS)
  get_property(files GLOBAL PROPERTY DORVEL_RESOURCE_FILES)
  get_property(deps GLOBAL PROPERTY DORVEL_RESOURCE_DEPENDS)
  set(out ${CMAKE_BINARY_DIR}/bin/redizo.dll)
  add_custom_command(
    OUTPUT ${out}
    COMMAND respack --out ${out} ${args}
    DEPENDS respack ${files} ${deps}
    COMMENT "Packing redizo.dll"
    VERBATIM)
  add_custom_target(redizo ALL DEPENDS ${out})
endfunction()

# Runs a generator tool at build time: OUTPUTS are the files it writes.
# Qt generators run on the offscreen platform so they need no display.
function(dorvel_generate name)
  cmake_parse_arguments(ARG "" "TOOL" "OUTPUTS;ARGS" ${ARGN})
  set(folders)
  foreach(output ${ARG_OUTPUTS})
    get_filename_component(folder ${output} DIRECTORY)
    list(APPEND folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  add_custom_command(
    OUTPUT ${ARG_OUTPUTS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folders}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:${ARG_TOOL}> ${ARG_ARGS}
    DEPENDS ${ARG_TOOL}
    COMMENT "Generating ${name}"
    VERBATIM)
  add_custom_target(${name} DEPENDS ${ARG_OUTPUTS})
endfunction()

# A GoogleTest executable with a ctest label (unit, integration or e2e); with
# SERIAL its tests run while no other test does.
function(dorvel_test name)
  cmake_parse_arguments(ARG "SERIAL" "LABEL" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE dorvel_test_support ${ARG_LIBS} GTest::gtest)
  dorvel_warnings(${name})
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${ARG_LABEL} RUN_SERIAL ${ARG_SERIAL}
    DISCOVERY_TIMEOUT 60)
endfunction()
