# The resource store: every resource the tools registered (KAVEO_RESOURCES) is compiled
# into kaveo_resources, which also holds ResourceBlob::load. Link it after kaveo_core.
get_property(kaveo_resource_files GLOBAL PROPERTY KAVEO_RESOURCES)
get_property(kaveo_resource_targets GLOBAL PROPERTY KAVEO_RESOURCE_TARGETS)

set(embedded_source ${CMAKE_CURRENT_BINARY_DIR}/embedded_resources.cpp)
add_custom_command(OUTPUT ${embedded_source}
  COMMAND kaveo_embed ${embedded_source} ${kaveo_resource_files}
  DEPENDS kaveo_embed ${kaveo_resource_files}
  COMMENT "Embedding the resources")

add_library(kaveo_resources STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/resource_store_embedded.cpp
  ${embedded_source})
target_include_directories(kaveo_resources PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kaveo_resources PRIVATE kaveo_warnings)
if(kaveo_resource_targets)
  add_dependencies(kaveo_resources ${kaveo_resource_targets})
endif()
