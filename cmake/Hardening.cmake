# Release-type builds take the hardening Debian builds its packages with
# (what `dpkg-buildflags` gives with hardening=+all): source fortification,
# a stack protector, and relocations made read-only at start (relro, bind
# now). The compiler builds position-independent executables by default.
# Debug builds stay without them: fortification needs the optimizer, and a
# sanitizer build brings checks of its own.
option(FV_HARDENING "Build Release-type configurations with Debian's hardening flags" ON)
if(FV_HARDENING)
  set(fv_release_configs "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  add_compile_options(
    "$<${fv_release_configs}:-fstack-protector-strong;-Wformat;-Werror=format-security>"
    "$<${fv_release_configs}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  add_link_options("$<${fv_release_configs}:-Wl,-z,relro;-Wl,-z,now>")
endif()
