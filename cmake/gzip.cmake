# burl_gzip(OUT_VAR SOURCE OUTPUT): a build rule that compresses SOURCE into
# OUTPUT the way Debian ships documentation (gzip -9n: best compression, no
# name or time stamp in the header, so the result is reproducible).
find_program(BURL_GZIP gzip REQUIRED)
function(burl_gzip out_var source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${BURL_GZIP} -9nc ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${source}")
  set(${out_var} ${output} PARENT_SCOPE)
endfunction()
