# Debian ships MuPDF as static archives only; its pkg-config file misses harfbuzz.
pkg_check_modules(MUPDF_PC REQUIRED mupdf)
execute_process(COMMAND ${PKG_CONFIG_EXECUTABLE} --static --libs mupdf
                OUTPUT_VARIABLE MUPDF_STATIC_LIBS OUTPUT_STRIP_TRAILING_WHITESPACE)
separate_arguments(MUPDF_STATIC_LIBS UNIX_COMMAND "${MUPDF_STATIC_LIBS}")
add_library(vx_mupdf INTERFACE)
target_include_directories(vx_mupdf SYSTEM INTERFACE ${MUPDF_PC_INCLUDE_DIRS})
target_link_libraries(vx_mupdf INTERFACE ${MUPDF_STATIC_LIBS} -lharfbuzz)
