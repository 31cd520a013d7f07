# vantrelo_embed(<target> <symbol> <file>): compiles <file> into <target> as
#   extern const unsigned char <symbol>[]; extern const std::size_t <symbol>_size;
# in namespace vantrelo::embedded. Nothing is read from disk at run time.
function(vantrelo_embed target symbol file)
  get_filename_component(abs "${file}" ABSOLUTE)
  set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded_${symbol}.cpp")
  add_custom_command(
    OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -DIN=${abs} -DOUT=${out} -DSYMBOL=${symbol}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS "${abs}" ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    COMMENT "Embedding ${file}")
  target_sources(${target} PRIVATE "${out}")
endfunction()
