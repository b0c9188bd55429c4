# Installation and the Debian package of the plug-in and its tools.
#
#   <prefix>/lib/qingcloud-agent/plugins/libqingcloud.so   the plug-in
#   <prefix>/lib/qingcloud-agent/plugins/libagent_host.so  the host stand-in
#   <prefix>/bin/qingcloud-agent, <prefix>/bin/qingcloud-sim
#   <prefix>/share/doc/qingcloud-plugin/                   README, docs/, copyright
#   <prefix>/share/man/man1/                               their manual pages
#   <prefix>/lib/systemd/system/qingcloud-agent.service    the console service
#   /etc/default/qingcloud-agent                           its settings
#
# The programs find the libraries relative to themselves, so an installed
# tree works from wherever it is unpacked and never from the build tree.

set(QC_PLUGIN_DIR lib/qingcloud-agent/plugins)
set(QC_PACKAGE qingcloud-plugin)
set(QC_DOC_DIR share/doc/${QC_PACKAGE})

set_target_properties(qingcloud-agent qingcloud-sim PROPERTIES
  INSTALL_RPATH "$ORIGIN/../${QC_PLUGIN_DIR}")
set_target_properties(qingcloud PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS qingcloud agent_host
  LIBRARY DESTINATION ${QC_PLUGIN_DIR}
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(TARGETS qingcloud-agent qingcloud-sim RUNTIME DESTINATION bin)
install(FILES README.md packaging/copyright DESTINATION ${QC_DOC_DIR})
# The pages the README links to for operators: the host program and the service.
install(FILES docs/agent.md docs/service.md docs/console-tree.png DESTINATION ${QC_DOC_DIR}/docs)
# Debian wants the changelog compressed, with no time stamp in the archive;
# it carries the project's version.
configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(qc_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${qc_changelog}
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/packaging/changelog > ${qc_changelog}
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
add_custom_target(qc_changelog ALL DEPENDS ${qc_changelog})
install(FILES ${qc_changelog} DESTINATION ${QC_DOC_DIR})

# The manual pages, made from the programs' --help and --version (of an
# ordinary build: the package is not made from a sanitizer build).
if(NOT QC_SANITIZE)
  find_program(HELP2MAN help2man REQUIRED)
  set(qc_man_qingcloud-agent_name "host program and console service of the QingCloud plug-in")
  set(qc_man_qingcloud-sim_name "simulator of the QingCloud API")
  set(qc_man_pages)
  # qingcloud-agent's page holds every command's own --help too.
  set(qc_agent_include ${CMAKE_BINARY_DIR}/man/qingcloud-agent.h2m)
  add_custom_command(OUTPUT ${qc_agent_include}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_SOURCE_DIR}/packaging/man_commands.sh $<TARGET_FILE:qingcloud-agent>
            ${qc_agent_include}
    DEPENDS qingcloud-agent ${CMAKE_SOURCE_DIR}/packaging/man_commands.sh
    VERBATIM)
  set(qc_man_qingcloud-agent_include --include ${qc_agent_include})
  set(qc_man_qingcloud-agent_depends ${qc_agent_include})
  foreach(program qingcloud-agent qingcloud-sim)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --section 1 --name "${qc_man_${program}_name}"
              --source "${QC_PACKAGE} ${PROJECT_VERSION}" ${qc_man_${program}_include}
              --output ${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9 -n -f ${page}
      DEPENDS ${program} ${qc_man_${program}_depends}
      VERBATIM)
    list(APPEND qc_man_pages ${page}.gz)
  endforeach()
  add_custom_target(qc_man_pages ALL DEPENDS ${qc_man_pages})
  install(FILES ${qc_man_pages} DESTINATION share/man/man1)
endif()

# The console service.  Its settings file lies in /etc whatever the prefix
# (`cmake --install` writes it there too, under $DESTDIR when set).
install(FILES packaging/qingcloud-agent.service DESTINATION lib/systemd/system)
install(FILES packaging/qingcloud-agent.default DESTINATION /etc/default
        RENAME qingcloud-agent PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
install(FILES packaging/lintian-overrides DESTINATION share/lintian/overrides
        RENAME ${QC_PACKAGE})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QC_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "QingCloud plug-in developers <qingcloud-plugin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "QingCloud plug-in for the backup agent, with its tools")
set(CPACK_PACKAGE_DESCRIPTION
    "The plug-in lets the backup console test QingCloud connection settings and
browse and search the platform's inventory as a tree: zones, physical hosts,
instances, disks, users and networks.  The package also holds qingcloud-agent,
a small host program that loads the plug-in the way the backup agent does
and serves a console, also as the system service qingcloud-agent.service,
and qingcloud-sim, a simulator of the platform's API to try it against.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The maintainer scripts make the service's user (adduser) and home folder.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/prerm
    ${CMAKE_SOURCE_DIR}/packaging/postrm ${CMAKE_SOURCE_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps has to find the package's own libraries among its files.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)

# The package from outside, as an operator gets it (of an ordinary build: a
# sanitizer build is no release).
if(NOT QC_SANITIZE)
  add_test(NAME package_check
           COMMAND ${CMAKE_SOURCE_DIR}/packaging/package_check.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(package_check PROPERTIES LABELS package TIMEOUT 300)
endif()
