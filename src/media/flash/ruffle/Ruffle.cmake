# Ruffle's self-hosted web build, pinned with its integrity hash in package-lock.json, fetched
# by npm at build time into the build tree's share/pictorelle/ruffle (where the player finds it
# beside bin/) and installed to the same place under the prefix.
find_program(NPM_PROGRAM npm REQUIRED)
set(ruffle_npm_dir ${CMAKE_BINARY_DIR}/ruffle-npm)
set(ruffle_dir ${CMAKE_BINARY_DIR}/share/pictorelle/ruffle)
set(ruffle_stamp ${ruffle_dir}/ruffle.js)
add_custom_command(
  OUTPUT ${ruffle_stamp}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ruffle_npm_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/package.json
          ${CMAKE_CURRENT_LIST_DIR}/package-lock.json ${ruffle_npm_dir}
  COMMAND ${NPM_PROGRAM} ci --prefix ${ruffle_npm_dir} --ignore-scripts --no-audit --no-fund
          --loglevel=error
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ruffle_dir}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${ruffle_npm_dir}/node_modules/@ruffle-rs/ruffle
          ${ruffle_dir}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/package.json ${CMAKE_CURRENT_LIST_DIR}/package-lock.json
  COMMENT "Fetching Ruffle with npm (pinned in package-lock.json)")
add_custom_target(ruffle ALL DEPENDS ${ruffle_stamp})
