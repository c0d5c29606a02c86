# The build's one SVG renderer (packaging/render_icon.cpp) and plover_render_svg(), which draws an SVG
# at build time into a PNG, or into an .ico holding every size given.
# With a Qt that has the SVG module the renderer is built with the project; otherwise (the mingw-w64
# Qt: Debian's qt6-svg source was out of reach) it is built for the build machine with its own Qt SVG.
find_package(Qt6 QUIET COMPONENTS Svg)
if(TARGET Qt6::Svg)
    add_executable(plover_render_icon ${PROJECT_SOURCE_DIR}/packaging/render_icon.cpp)
    target_link_libraries(plover_render_icon PRIVATE Qt6::Gui Qt6::Svg plover_warnings)
    set(plover_icon_renderer plover_render_icon)
    set(plover_icon_renderer_target plover_render_icon)
else()
    include(ExternalProject)
    set(renderer_dir ${PROJECT_BINARY_DIR}/host-icon-renderer)
    ExternalProject_Add(plover_host_icon_renderer
        SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/host-icon-renderer
        BINARY_DIR ${renderer_dir}
        CMAKE_ARGS -DPLOVER_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release
        INSTALL_COMMAND ""
        BUILD_BYPRODUCTS ${renderer_dir}/plover_render_icon)
    set(plover_icon_renderer ${renderer_dir}/plover_render_icon)
    set(plover_icon_renderer_target plover_host_icon_renderer)
endif()

# plover_render_svg(<svg> <size>[,<size>...] <out.png|out.ico>)
function(plover_render_svg svg sizes out)
    get_filename_component(out_dir ${out} DIRECTORY)
    get_filename_component(name ${out} NAME)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
        COMMAND ${plover_icon_renderer} ${svg} ${sizes} ${out}
        DEPENDS ${plover_icon_renderer_target} ${svg}
        COMMENT "Rendering ${name} at ${sizes} px")
endfunction()
