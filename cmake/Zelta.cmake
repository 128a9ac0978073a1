# One static library per source folder: every .cpp in the folder except main.cpp, or only the ONLY ones, or
# all but the EXCEPT ones (file names without ".cpp"). A MODEL library may not link Qt Widgets, directly or
# through its dependencies.
function(zelta_library name)
  cmake_parse_arguments(ARG "MODEL" "" "DEPS;ONLY;EXCEPT" ${ARGN})
  if(ARG_ONLY)
    list(TRANSFORM ARG_ONLY REPLACE "(.+)" "${CMAKE_CURRENT_SOURCE_DIR}/\\1.cpp" OUTPUT_VARIABLE sources)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  endif()
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  foreach(except IN LISTS ARG_EXCEPT)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${except}.cpp)
  endforeach()
  if(NOT sources)
    # A folder whose code has not landed yet still links as a dependency.
    set(sources ${PROJECT_BINARY_DIR}/empty_library.cpp)
    file(WRITE ${sources} "// Placeholder for a folder with no sources yet.\n")
  endif()
  add_library(zelta_${name} STATIC ${sources})
  target_include_directories(zelta_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(zelta_${name} PUBLIC ${ARG_DEPS})
  if(ARG_MODEL)
    zelta_forbid_widgets(zelta_${name})
  endif()
endfunction()

# A string table in the "STR0" format, generated from a text file of ours and linked into `target`.
# The text file holds one entry a line: a decimal identifier, a TAB, the text (UTF-8; \n, \t and \\ escapes).
# The generated source defines `std::span<const std::uint8_t> <symbol>()` in namespace `resources`.
function(zelta_string_table target resource_name text_file symbol)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND string_table_gen ${text_file} ${out} ${symbol} ${resource_name}
    DEPENDS string_table_gen ${text_file}
    COMMENT "String table ${resource_name}")
  target_sources(${target} PRIVATE ${out})
endfunction()

# Models link no widgets: stops the configuration when Qt6::Widgets is in `target`'s link closure.
function(zelta_forbid_widgets target)
  set(pending ${target})
  set(seen "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    if(current STREQUAL "Qt6::Widgets")
      message(FATAL_ERROR "${target} links Qt Widgets; models and their tests must not")
    endif()
    get_target_property(type ${current} TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(NOT link MATCHES "\\$<")
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
endfunction()
