# The end-to-end scripts, run natively: vesk-host loads Chromalet-LIFX.so and
# drives emulated lights on loopback. Each script gets 127.B.(10 + index).x
# of its own, so the scripts run in parallel; the Wine suite uses octets 100
# and above. B is 57 unless another run holds that block (see run_script.sh).
file(GLOB E2E_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.script)
list(SORT E2E_SCRIPTS)
set(e2e_index 0)
foreach(script ${E2E_SCRIPTS})
  get_filename_component(e2e_name ${script} NAME_WE)
  math(EXPR e2e_octet "10 + ${e2e_index}")
  add_test(NAME e2e_${e2e_name}
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/run_script.sh
                   --script ${script} --emulator $<TARGET_FILE:lifx-emulator> --octet ${e2e_octet}
                   --work ${CMAKE_BINARY_DIR}/e2e/${e2e_name} --timeout 120
                   -- $<TARGET_FILE:vesk-host> --plugin $<TARGET_FILE:chromalet_plugin>)
  set_tests_properties(e2e_${e2e_name} PROPERTIES TIMEOUT 180 LABELS e2e)
  math(EXPR e2e_index "${e2e_index} + 1")
endforeach()

# Another run's scripts on the same octet, with and without their lock.
add_test(NAME e2e_side_by_side
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/side_by_side.sh $<TARGET_FILE:lifx-emulator>
                 ${CMAKE_BINARY_DIR}/e2e/side_by_side 90 --
                 bash ${CMAKE_SOURCE_DIR}/tests/e2e/run_script.sh
                 --script ${CMAKE_SOURCE_DIR}/tests/e2e/commands.script
                 --emulator $<TARGET_FILE:lifx-emulator> --octet 90
                 --work ${CMAKE_BINARY_DIR}/e2e/side_by_side/run --timeout 120
                 -- $<TARGET_FILE:vesk-host> --plugin $<TARGET_FILE:chromalet_plugin>)
set_tests_properties(e2e_side_by_side PROPERTIES TIMEOUT 180 LABELS e2e)
