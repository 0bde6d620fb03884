# The level table of docs/architecture.md drives the libraries: what each one
# links, and which headers it can see. Read once by the top-level CMakeLists.

# daubry_read_levels()
# Sets DAUBRY_LIBRARIES (in table order) and, per library, the global
# properties DAUBRY_LEVEL_<lib>, DAUBRY_FOLDER_<lib> (relative, no trailing
# slash) and DAUBRY_USES_<lib>. Fails on a malformed table or on a library that
# uses one of its own level or above.
function(daubry_read_levels)
  set(table ${PROJECT_SOURCE_DIR}/docs/architecture.md)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(STRINGS ${table} rows REGEX "^\\| *[0-9]+ *\\| *daubry_")
  set(libraries)
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "^\\| *([0-9]+) *\\| *([a-z_]+) *\\| *([a-z/_]+)/ *\\| *([a-z_ ]*)\\|")
      message(FATAL_ERROR "docs/architecture.md: cannot read the level row '${row}'")
    endif()
    set(name ${CMAKE_MATCH_2})
    string(STRIP "${CMAKE_MATCH_4}" uses)
    string(REPLACE " " ";" uses "${uses}")
    set_property(GLOBAL PROPERTY DAUBRY_LEVEL_${name} ${CMAKE_MATCH_1})
    set_property(GLOBAL PROPERTY DAUBRY_FOLDER_${name} ${CMAKE_MATCH_3})
    set_property(GLOBAL PROPERTY DAUBRY_USES_${name} "${uses}")
    list(APPEND libraries ${name})
  endforeach()
  foreach(name IN LISTS libraries)
    get_property(level GLOBAL PROPERTY DAUBRY_LEVEL_${name})
    get_property(uses GLOBAL PROPERTY DAUBRY_USES_${name})
    foreach(used IN LISTS uses)
      get_property(used_level GLOBAL PROPERTY DAUBRY_LEVEL_${used})
      if(used_level STREQUAL "")
        message(FATAL_ERROR "docs/architecture.md: ${name} uses ${used}, which has no row")
      endif()
      if(NOT used_level LESS level)
        message(FATAL_ERROR "docs/architecture.md: ${name} (level ${level}) uses ${used} "
          "(level ${used_level}); a library uses only lower levels")
      endif()
    endforeach()
  endforeach()
  set(DAUBRY_LIBRARIES ${libraries} PARENT_SCOPE)
endfunction()

# The headers of library name: every *.h under its folder except in folders
# that belong to another library, as paths relative to the source root.
function(daubry_library_headers name out)
  get_property(folder GLOBAL PROPERTY DAUBRY_FOLDER_${name})
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}
    ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  foreach(other IN LISTS DAUBRY_LIBRARIES)
    get_property(other_folder GLOBAL PROPERTY DAUBRY_FOLDER_${other})
    if(NOT other STREQUAL name AND other_folder MATCHES "^${folder}/")
      list(FILTER headers EXCLUDE REGEX "^${other_folder}/")
    endif()
  endforeach()
  set(${out} ${headers} PARENT_SCOPE)
endfunction()

# Gives library name an include tree of its own headers (symbolic links under
# the build folder) and links what its row uses. Those links are public, so a
# library sees its own headers and those of the levels it uses, and no others.
function(daubry_publish name)
  get_property(uses GLOBAL PROPERTY DAUBRY_USES_${name})
  set(tree ${PROJECT_BINARY_DIR}/include/${name})
  daubry_library_headers(${name} headers)
  foreach(header IN LISTS headers)
    get_filename_component(dir ${tree}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${header} ${tree}/${header} SYMBOLIC)
  endforeach()
  get_target_property(type ${name} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${name} INTERFACE ${tree})
    target_link_libraries(${name} INTERFACE ${uses})
  else()
    target_include_directories(${name} PUBLIC ${tree})
    target_link_libraries(${name} PUBLIC ${uses})
  endif()
endfunction()

# daubry_library(<name> [SOURCES file...])
# Builds the library of the calling folder from the given sources, or else
# from the .cpp files directly in the folder. A folder without code yet gives
# an empty library that passes on what it uses.
function(daubry_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  if(ARG_SOURCES)
    set(sources ${ARG_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    daubry_warnings(${name})
  else()
    add_library(${name} INTERFACE)
  endif()
  daubry_publish(${name})
endfunction()

# Adds every library of the table, lowest level first: the folder's own
# CMakeLists where it has one, else an empty library standing in its place.
function(daubry_add_libraries)
  foreach(name IN LISTS DAUBRY_LIBRARIES)
    get_property(folder GLOBAL PROPERTY DAUBRY_FOLDER_${name})
    if(EXISTS ${PROJECT_SOURCE_DIR}/${folder}/CMakeLists.txt)
      add_subdirectory(${PROJECT_SOURCE_DIR}/${folder} ${PROJECT_BINARY_DIR}/${folder})
    else()
      add_library(${name} INTERFACE)
      daubry_publish(${name})
    endif()
  endforeach()
endfunction()
