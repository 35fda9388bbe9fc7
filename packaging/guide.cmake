# The operators' guide, in Chinese: rendered at build time from
# docs/guide.zh_CN.md into one HTML page, with Debian's python3-markdown.
# Both editions install the page.
find_program(KD7_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(KD7_GUIDE_HTML ${CMAKE_BINARY_DIR}/guide/guide.zh_CN.html)
add_custom_command(OUTPUT ${KD7_GUIDE_HTML}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/guide
    COMMAND ${KD7_PYTHON3} ${PROJECT_SOURCE_DIR}/tools/render-guide.py
            ${PROJECT_SOURCE_DIR}/docs/guide.zh_CN.md ${KD7_GUIDE_HTML}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/guide.zh_CN.md ${PROJECT_SOURCE_DIR}/tools/render-guide.py
    VERBATIM)
add_custom_target(kd7guide ALL DEPENDS ${KD7_GUIDE_HTML})
