# The compiler and linker flags Debian builds its packages with, from
# dpkg-buildflags: optimisation, debug information without build paths, and
# the hardening features (stack protector, fortified functions, PIE, relro
# and bindnow). DEB_BUILD_MAINT_OPTIONS and DEB_*FLAGS_* in the environment
# change them as they change any Debian build; unset, every hardening
# feature is asked for.
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
if(NOT DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
  set(ENV{DEB_BUILD_MAINT_OPTIONS} hardening=+all)
endif()
function(orrelune_debian_flags name out)
  # From the source folder, so that the build paths it maps away are the sources'.
  execute_process(COMMAND ${DPKG_BUILDFLAGS} --get ${name} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  set(${out} "${flags}" PARENT_SCOPE)
endfunction()
orrelune_debian_flags(CPPFLAGS cppflags)
orrelune_debian_flags(CFLAGS cflags)
orrelune_debian_flags(CXXFLAGS cxxflags)
orrelune_debian_flags(LDFLAGS ldflags)
string(APPEND CMAKE_C_FLAGS " ${cppflags} ${cflags}")
string(APPEND CMAKE_CXX_FLAGS " ${cppflags} ${cxxflags}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${ldflags}")
