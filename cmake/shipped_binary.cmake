# lv_shipped_binary(TARGET PATH): a target named TARGET that copies PATH (relative to
# LV_SHIPPED_BUILD) into this build's folder of the same name, so that the programs here which
# look for the deliverable beside them find the very file that ships. The shipped build must
# have been built first (scripts/build does that).
function(lv_shipped_binary target path)
  set(from ${LV_SHIPPED_BUILD}/${path})
  set(to ${CMAKE_BINARY_DIR}/${path})
  add_custom_command(OUTPUT ${to} COMMAND ${CMAKE_COMMAND} -E copy ${from} ${to} DEPENDS ${from}
                     COMMENT "Shipped ${path}" VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${to})
endfunction()
