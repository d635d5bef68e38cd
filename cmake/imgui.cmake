# Dear ImGui from third_party/imgui, fetched by scripts/setup.
set(IMGUI_DIR ${CMAKE_CURRENT_SOURCE_DIR}/third_party/imgui)
if(NOT EXISTS ${IMGUI_DIR}/imgui.h)
  message(FATAL_ERROR "Dear ImGui is missing: run scripts/setup first")
endif()

add_library(imgui STATIC
  ${IMGUI_DIR}/imgui.cpp ${IMGUI_DIR}/imgui_draw.cpp
  ${IMGUI_DIR}/imgui_tables.cpp ${IMGUI_DIR}/imgui_widgets.cpp
  # Our item hooks live with the library that calls them.
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/gui_item_hooks.cpp)
target_include_directories(imgui SYSTEM PUBLIC ${IMGUI_DIR})
target_include_directories(imgui PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(imgui PUBLIC IMGUI_DISABLE_OBSOLETE_FUNCTIONS IMGUI_ENABLE_TEST_ENGINE)

find_package(PkgConfig REQUIRED)
pkg_check_modules(IMGUI_SDL2 REQUIRED IMPORTED_TARGET sdl2)
find_package(OpenGL REQUIRED)
add_library(imgui_backends STATIC
  ${IMGUI_DIR}/backends/imgui_impl_sdl2.cpp ${IMGUI_DIR}/backends/imgui_impl_opengl3.cpp)
target_include_directories(imgui_backends SYSTEM PUBLIC ${IMGUI_DIR}/backends)
target_link_libraries(imgui_backends PUBLIC imgui PkgConfig::IMGUI_SDL2 OpenGL::GL ${CMAKE_DL_LIBS})
