# The LV2 bundle build/<arch>/Blinkwatcher.lv2/: its data, the DSP object
# (the engine and its glue only: no display, no X library) and the UI object
# (the toolkit, the editor and the panel).
set(BW_LV2_DIR ${PROJECT_BINARY_DIR}/Blinkwatcher.lv2)
set(BW_LV2_SRC ${PROJECT_SOURCE_DIR}/plugin/lv2)
if(NOT EXISTS /usr/include/lv2/core/lv2.h)
  message(FATAL_ERROR "the LV2 headers are missing: run 'make deps'")
endif()

foreach(ttl manifest.ttl Blinkwatcher.ttl Blinkwatcher_ui.ttl)
  configure_file(${BW_LV2_SRC}/bundle/${ttl} ${BW_LV2_DIR}/${ttl} COPYONLY)
endforeach()

add_library(Blinkwatcher_lv2 MODULE ${BW_LV2_SRC}/SLv2Plugin.cpp ${BW_LV2_SRC}/SLv2Entry.cpp)
target_link_libraries(Blinkwatcher_lv2 PRIVATE bw_engine)
set_target_properties(Blinkwatcher_lv2 PROPERTIES PREFIX "" OUTPUT_NAME Blinkwatcher_dsp SUFFIX ".so"
  LIBRARY_OUTPUT_DIRECTORY ${BW_LV2_DIR} LINK_DEPENDS ${BW_LV2_SRC}/lv2.map)
target_link_options(Blinkwatcher_lv2 PRIVATE -Wl,--version-script=${BW_LV2_SRC}/lv2.map)

add_library(Blinkwatcher_lv2ui MODULE ${BW_LV2_SRC}/SLv2UiBridge.cpp ${BW_LV2_SRC}/SLv2UiEntry.cpp)
target_link_libraries(Blinkwatcher_lv2ui PRIVATE bw_objects)
set_target_properties(Blinkwatcher_lv2ui PROPERTIES PREFIX "" OUTPUT_NAME Blinkwatcher_ui SUFFIX ".so"
  LIBRARY_OUTPUT_DIRECTORY ${BW_LV2_DIR} LINK_DEPENDS ${BW_LV2_SRC}/lv2ui.map)
target_link_options(Blinkwatcher_lv2ui PRIVATE -Wl,--version-script=${BW_LV2_SRC}/lv2ui.map)

if(NOT BW_SANITIZE)
  target_link_options(Blinkwatcher_lv2 PRIVATE -Wl,--no-undefined -Wl,-z,defs)
  target_link_options(Blinkwatcher_lv2ui PRIVATE -Wl,--no-undefined -Wl,-z,defs)
endif()
