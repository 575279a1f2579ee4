# Tests of the resource store against the resources the build embedded.
kaveo_add_test(resource_store_test ${CMAKE_CURRENT_LIST_DIR}/resource_store_test.cpp)
target_link_libraries(resource_store_test PRIVATE kaveo_resources)
target_compile_definitions(resource_store_test PRIVATE KAVEO_RESOURCE_DIR="${KAVEO_RESOURCE_DIR}")
