# Builds that are not instrumented take Debian's hardening flags, as the
# distribution's own packages do (dpkg-buildflags, with every hardening
# feature on): fortified libc calls, the strong stack protector, stack clash
# protection, read-only relocations bound at
# start (-z relro -z now) and position-independent executables.  The
# optimisation and debug flags stay the build type's.
if(QC_SANITIZE OR QC_FUZZ)
  return()
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${DPKG_BUILDFLAGS} --get ${kind}
    OUTPUT_VARIABLE qc_flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(qc_flags UNIX_COMMAND "${qc_flags}")
  list(FILTER qc_flags EXCLUDE REGEX "^-(O[0-9s]?|g[0-9]?|ffile-prefix-map=.*|fdebug-prefix-map=.*)$")
  set(qc_${kind} ${qc_flags})
endforeach()
# Stack clash protection joins "hardening=+all" in dpkg 1.22, and
# hardening-check asks for it already.
add_compile_options(${qc_CPPFLAGS} ${qc_CXXFLAGS} -fstack-clash-protection)
add_link_options(${qc_LDFLAGS})

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
