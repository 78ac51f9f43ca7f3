# The skin's own widgets: picture buttons, link labels, pictures and animations.
add_library(tm_skin_widgets STATIC
  ${CMAKE_CURRENT_LIST_DIR}/paint_util.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_button.cpp
  ${CMAKE_CURRENT_LIST_DIR}/link_label.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_view.cpp
)
target_include_directories(tm_skin_widgets PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(tm_skin_widgets PUBLIC tm_widgets tm_system gdiplus tm_lazy_gdi32 tm_lazy_user32 tm_lazy_ole32)
