# File-name wildcards matched in memory the way the system's file search matches them.
# Pure text, so it has no dependency on the system layer.
add_library(tm_wildcard STATIC wildcard.cpp)
target_include_directories(tm_wildcard PUBLIC ${PROJECT_SOURCE_DIR}/src)
