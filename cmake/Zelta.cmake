# One static library per source folder: every .cpp in the folder except main.cpp.
function(zelta_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    # A folder whose code has not landed yet still links as a dependency.
    set(sources ${PROJECT_BINARY_DIR}/empty_library.cpp)
    file(WRITE ${sources} "// Placeholder for a folder with no sources yet.\n")
  endif()
  add_library(zelta_${name} STATIC ${sources})
  target_include_directories(zelta_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(zelta_${name} PUBLIC ${ARG_DEPS})
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
