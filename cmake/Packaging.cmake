# The Debian package: `cpack` in a build folder writes zelvo_<version>_amd64.deb, installing
# under /usr. scripts/package.sh builds the program alone and runs it.

install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION share/doc/zelvo)

# The changelog and the manual pages (English, and Chinese for zh_CN desktops) go in
# compressed, without a time stamp or a file name in the gzip header (-n), so that two builds of
# one version give the same package.
set(zelvo_docs)
foreach(doc changelog zelvo.1 zelvo.zh_CN.1)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${doc}.gz
    COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" gzip ${PROJECT_SOURCE_DIR}/data/${doc}
      ${PROJECT_BINARY_DIR}/${doc}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/data/${doc} VERBATIM)
  list(APPEND zelvo_docs ${PROJECT_BINARY_DIR}/${doc}.gz)
endforeach()
add_custom_target(zelvo_docs ALL DEPENDS ${zelvo_docs})
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION share/doc/zelvo)
install(FILES ${PROJECT_BINARY_DIR}/zelvo.1.gz DESTINATION share/man/man1)
install(FILES ${PROJECT_BINARY_DIR}/zelvo.zh_CN.1.gz DESTINATION share/man/zh_CN/man1
  RENAME zelvo.1.gz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvo)
set(CPACK_PACKAGE_VENDOR Zelvo)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "quantity ledgers in a shared SQL database (Chinese UI)")
# Lines of a Debian description stay within 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Zelvo云记账 records the stock of goods, cash and bank balances, customer\n"
    "receivables and project amounts in a ledger kept in a shared SQLite,\n"
    "PostgreSQL or SQL Server database. Several operators log in with passwords\n"
    "and rights and record signed changes such as +10 or -5.\n"
    "The user interface is in Simplified Chinese.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zelvo 开发者 <developers@zelvo.io>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by name at run time, so dpkg-shlibdeps cannot see them: the SQL drivers of the three
# connection kinds, the monospaced CJK font the report lists are drawn in, and the CJK font of
# printed pages: Noto CJK draws 金 and 页 with the glyphs of the Kangxi radicals ⾦ and ⾴, so a
# PDF written with it alone reads back (and is searched) as radicals.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, libqt6sql6-odbc, fonts-noto-cjk, fonts-wqy-microhei")
# Chinese texts on Qt's own buttons and dialogs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)

include(CPack)
