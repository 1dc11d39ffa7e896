# The Debian package quorvex: what is installed where, and CPack's DEB generator (scripts/package.sh).

# The program's version text ("Version 3.00.0037" in files/run_log.h) is the one place the version
# is held; the package version is its three numbers without leading zeros (3.0.37).
file(STRINGS "${CMAKE_SOURCE_DIR}/files/run_log.h" QV_VERSION_LINE REGEX "kVersionLiteral")
if(NOT QV_VERSION_LINE MATCHES "Version ([0-9]+)\\.([0-9]+)\\.([0-9]+)")
  message(FATAL_ERROR "No \"Version N.NN.NNNN\" text in files/run_log.h")
endif()
set(QV_VERSION_TEXT "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
math(EXPR QV_VERSION_MAJOR "${CMAKE_MATCH_1}")
math(EXPR QV_VERSION_MINOR "${CMAKE_MATCH_2}")
math(EXPR QV_VERSION_PATCH "${CMAKE_MATCH_3}")
set(QV_PACKAGE_VERSION "${QV_VERSION_MAJOR}.${QV_VERSION_MINOR}.${QV_VERSION_PATCH}")
set(QV_MAINTAINER "Quorvex maintainers <maintainers@users.noreply.c-seed-ae2954ac.example>")

# Manual pages, the README and the changelog go gzip -9n compressed (no name, no time stamp
# inside), as Debian asks. The changelog has one entry, for the version above, dated
# SOURCE_DATE_EPOCH when set.
set(QV_PACKAGE_DIR "${CMAKE_BINARY_DIR}/package")
set(QV_PACKAGE_FILES)
function(qv_compressed source name)
  add_custom_command(OUTPUT "${QV_PACKAGE_DIR}/${name}.gz"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${QV_PACKAGE_DIR}"
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" "${source}" "${QV_PACKAGE_DIR}/${name}.gz"
    DEPENDS "${source}" VERBATIM)
  set(QV_PACKAGE_FILES ${QV_PACKAGE_FILES} "${QV_PACKAGE_DIR}/${name}.gz" PARENT_SCOPE)
endfunction()
string(TIMESTAMP QV_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${CMAKE_SOURCE_DIR}/doc/changelog.in" "${QV_PACKAGE_DIR}/changelog" @ONLY)
qv_compressed("${CMAKE_SOURCE_DIR}/doc/qv.1" qv.1)
qv_compressed("${CMAKE_SOURCE_DIR}/doc/qvdb.1" qvdb.1)
qv_compressed("${CMAKE_SOURCE_DIR}/README.md" README.md)
qv_compressed("${QV_PACKAGE_DIR}/changelog" changelog)
add_custom_target(package-files ALL DEPENDS ${QV_PACKAGE_FILES})

# What the package holds: the two programs (not qv-sim, not the tests), the manual pages, the
# README, the copyright file, the changelog, and the nightly inventory: its systemd service and
# timer (installed, not enabled), its settings in /etc/quorvex and the logrotate rule of its reports.
install(TARGETS qv qvdb RUNTIME DESTINATION bin)
install(FILES "${QV_PACKAGE_DIR}/qv.1.gz" "${QV_PACKAGE_DIR}/qvdb.1.gz" DESTINATION share/man/man1)
install(FILES "${QV_PACKAGE_DIR}/README.md.gz" doc/copyright "${QV_PACKAGE_DIR}/changelog.gz"
        DESTINATION share/doc/quorvex)
install(FILES packaging/quorvex-inventory.service packaging/quorvex-inventory.timer DESTINATION lib/systemd/system)
install(FILES packaging/computers packaging/database packaging/user-dirs.dirs packaging/winrm
        DESTINATION /etc/quorvex)
install(FILES packaging/logrotate DESTINATION /etc/logrotate.d RENAME quorvex)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VERSION "${QV_PACKAGE_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "${QV_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "inventory of the hardware and software of computers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Quorvex (qv) finds out what hardware, operating system, network configuration
and software each chosen computer has: this computer, named computers, the
computers named in a file, or every computer of the domain. Linux computers are
read over SFTP, Windows computers over WS-Management; nothing is installed or
run on them. Each run writes a log, one text report per computer and an SQLite
inventory database in the user's documents folder.
.
The package also holds qvdb, the companion program for the inventory data.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Depends is worked out by dpkg-shlibdeps from the shared libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package's scripts create the system user with adduser. NTLM to Windows computers needs the
# GSSAPI NTLM mechanism; Kerberos tickets (kinit) come from krb5-user.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gss-ntlmssp")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "krb5-user")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_SOURCE_DIR}/packaging/conffiles;${CMAKE_SOURCE_DIR}/packaging/postinst;${CMAKE_SOURCE_DIR}/packaging/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The package's test makes it with CPack from this build's own programs (no second compile), alone,
# and not under the sanitizers, which the package is not built with.
if(QV_TESTS AND NOT QV_SANITIZE)
  enable_testing()
  add_test(NAME debian_package
    COMMAND sh "${CMAKE_SOURCE_DIR}/tests/package/package_test.sh" "${CMAKE_SOURCE_DIR}" "${QV_PACKAGE_VERSION}" "${CMAKE_BINARY_DIR}")
  set_tests_properties(debian_package PROPERTIES SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 1200)
endif()
