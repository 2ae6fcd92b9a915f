# Shared compile settings for every target of the project.
add_library(hollin_settings INTERFACE)
target_compile_options(hollin_settings INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${HOLLIN_WERROR}>:-Werror>)
if(HOLLIN_SANITIZE)
  target_compile_options(hollin_settings INTERFACE -fsanitize=address,undefined,float-cast-overflow
    -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(hollin_settings INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()
